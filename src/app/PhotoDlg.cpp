#include "app/PhotoDlg.h"

#include "app/Prompts.h"
#include "sync/FrameReader.h"
#include "sync/QuickTime.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

namespace {
// OK and "Annuler", 75 x 23 and 6 pixels apart, at the lower right inside the dialog's margin.
constexpr QSize BUTTON_SIZE(75, 23);
constexpr int MARGIN = 7;
constexpr int CANCEL_FROM_RIGHT = BUTTON_SIZE.width() + MARGIN;
constexpr int OK_FROM_RIGHT = CANCEL_FROM_RIGHT + 6 + BUTTON_SIZE.width();
} // namespace

// ------------------------------------------------------------------------------------------ pictures

CPhotoStatic::CPhotoStatic(QWidget* pParent) : QWidget(pParent) {}

void CPhotoStatic::setPicture(const QImage& picture) {
    m_picture = picture;
    setFixedSize(picture.size());
    update();
}

void CPhotoStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
}

CPhotoSelectStatic::CPhotoSelectStatic(QWidget* pParent) : CPhotoStatic(pParent) {
    setCursor(Qt::CrossCursor);
}

QPoint CPhotoSelectStatic::clampToPicture(const QPoint& pt) const {
    return {std::clamp(pt.x(), 0, picture().width()), std::clamp(pt.y(), 0, picture().height())};
}

QRect CPhotoSelectStatic::selection() const {
    // The two corners, whichever came first, bound the part (the far corner excluded).
    const int x0 = std::min(m_ptAnchor.x(), m_ptEnd.x()), x1 = std::max(m_ptAnchor.x(), m_ptEnd.x());
    const int y0 = std::min(m_ptAnchor.y(), m_ptEnd.y()), y1 = std::max(m_ptAnchor.y(), m_ptEnd.y());
    if (x1 == x0 || y1 == y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

void CPhotoSelectStatic::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton) return;
    m_ptAnchor = m_ptEnd = clampToPicture(pEvent->position().toPoint());
    m_bDragging = true;
    update();
}

void CPhotoSelectStatic::mouseMoveEvent(QMouseEvent* pEvent) {
    if (!m_bDragging) return;
    m_ptEnd = clampToPicture(pEvent->position().toPoint());
    update();
}

void CPhotoSelectStatic::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (!m_bDragging || pEvent->button() != Qt::LeftButton) return;
    m_ptEnd = clampToPicture(pEvent->position().toPoint());
    m_bDragging = false;
    update();
}

void CPhotoSelectStatic::paintEvent(QPaintEvent* pEvent) {
    CPhotoStatic::paintEvent(pEvent);
    const QRect rc = selection();
    if (rc.isEmpty()) return;
    QPainter p(this);
    // What is left out is dimmed; the part kept has a frame that shows on dark and light pictures.
    QRegion outside(rect());
    outside -= QRegion(rc);
    p.setClipRegion(outside);
    p.fillRect(rect(), QColor(0, 0, 0, 110));
    p.setClipping(false);
    p.setPen(QPen(Qt::white, 1, Qt::DashLine));
    p.drawRect(rc.adjusted(0, 0, -1, -1));
}

// ------------------------------------------------------------------------------------------ the dialog

CPhotoDlg::CPhotoDlg(const QImage& picture, IPrompts& prompts, QWidget* pParent)
    : QDialog(pParent), m_prompts(prompts), m_pScroll(new QScrollArea(this)),
      m_pSelect(new CPhotoSelectStatic), m_pOk(new QPushButton(QStringLiteral("OK"), this)),
      m_pCancel(new QPushButton(QStringLiteral("Annuler"), this)) {
    setWindowTitle(QStringLiteral("Prendre une photo"));
    m_pSelect->setPicture(picture);
    m_pScroll->setWidget(m_pSelect);
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pOk->setFixedSize(BUTTON_SIZE);
    m_pCancel->setFixedSize(BUTTON_SIZE);
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &CPhotoDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CPhotoDlg::reject);

    // The dialog grows to the picture; a picture larger than the screen scrolls.
    QSize area = picture.size().expandedTo(QSize(2 * OK_FROM_RIGHT, 0));
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QSize room =
            pScreen->availableSize() - QSize(2 * MARGIN + 40, 3 * MARGIN + BUTTON_SIZE.height() + 80);
        if (area.width() > room.width() || area.height() > room.height()) {
            area = area.boundedTo(room);
            m_pScroll->setFrameShape(QFrame::StyledPanel);
        }
    }
    setFixedSize(area.width() + 2 * MARGIN, area.height() + 3 * MARGIN + BUTTON_SIZE.height());
}

void CPhotoDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    const int w = width(), h = height();
    m_pScroll->setGeometry(MARGIN, MARGIN, w - 2 * MARGIN, h - 3 * MARGIN - BUTTON_SIZE.height());
    const int y = h - MARGIN - BUTTON_SIZE.height();
    m_pOk->move(w - OK_FROM_RIGHT, y);
    m_pCancel->move(w - CANCEL_FROM_RIGHT, y);
}

void CPhotoDlg::accept() {
    const QRect rc = m_pSelect->selection();
    const QString str = rc.isEmpty() ? QString() : encodePhoto(m_pSelect->picture(), rc);
    if (str.isEmpty()) {
        m_prompts.error(QStringLiteral("Il faut sélectionner une portion de la photo."));
        return;
    }
    m_strPhoto = str;
    QDialog::accept();
}

QString CPhotoDlg::encodePhoto(const QImage& picture, const QRect& rc) {
    const QRect part = rc.intersected(picture.rect());
    if (part.isEmpty()) return {};
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.copy(part).convertToFormat(QImage::Format_RGB888).save(&buffer, "JPEG", JPEG_QUALITY))
        return {};
    return QString::fromLatin1(jpeg.toBase64());
}

QImage CPhotoDlg::grabPicture(CQuickTime& player, const CTimeCode& tc) {
    if (!player.hasMovie() || !player.hasVideo() || !tc.isValid()) return {};
    CFrameReader reader;
    if (!reader.open(player.getPath())) return {};
    reader.setTimeStamp(player.getStartTimeCode());
    const CFrameImage frame = reader.grabFrame({}, nullptr, tc);
    if (frame.isNull()) return {};
    QImage image(frame.rgb.data(), frame.nWidth, frame.nHeight, 3 * frame.nWidth, QImage::Format_RGB888);
    return image.copy(); // the pixels belong to the frame, which goes now
}

std::function<QString(QWidget*)> CPhotoDlg::photoSource(CQuickTime& player, std::function<CTimeCode()> now,
                                                        IPrompts& prompts,
                                                        std::function<int(CPhotoDlg&)> run) {
    if (!run) run = [](CPhotoDlg& dlg) { return dlg.exec(); };
    return [&player, now = std::move(now), &prompts, run = std::move(run)](QWidget* pParent) -> QString {
        const QImage picture = grabPicture(player, now());
        if (picture.isNull()) {
            prompts.error(QString::fromUtf8("Aucune image à photographier à cette position."));
            return {};
        }
        CPhotoDlg dlg(picture, prompts, pParent);
        return run(dlg) == QDialog::Accepted ? dlg.photo() : QString();
    };
}
