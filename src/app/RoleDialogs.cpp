#include "app/RoleDialogs.h"

#include "app/PhotoDlg.h"
#include "app/Prompts.h"
#include "app/VarEDoc.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
constexpr QSize PHOTO_SIZE(120, 150);

QIcon swatch(std::uint32_t rgb) {
    QPixmap pixmap(48, 14);
    pixmap.fill(QColor::fromRgb(rgb));
    QPainter(&pixmap).drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return QIcon(pixmap);
}

// The picture of a role without a photo: a grey silhouette.
QImage defaultPhoto(const QSize& size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(0xE8, 0xE8, 0xE8));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xA8, 0xA8, 0xA8));
    const int w = size.width(), h = size.height();
    p.drawEllipse(QPointF(w / 2.0, h * 0.36), w * 0.2, w * 0.2);
    p.drawChord(QRectF(w * 0.15, h * 0.58, w * 0.7, h * 0.7), 0, 180 * 16);
    p.end();
    return picture;
}
} // namespace

// ------------------------------------------------------------------------------------------ colours

const std::vector<std::uint32_t>& CColorComboBox::colors() {
    static const std::vector<std::uint32_t> v = {0x000000, 0x370028, 0x002040, 0x004225,
                                                 0x321414, 0xC80815, 0x002FA7};
    return v;
}

CColorComboBox::CColorComboBox(QWidget* pParent) : QComboBox(pParent) {
    setIconSize(QSize(48, 14));
    for (std::uint32_t rgb : colors())
        addItem(swatch(rgb), QString(), QVariant::fromValue(rgb));
    setCurrentIndex(0);
}

std::uint32_t CColorComboBox::getColor() const {
    return currentIndex() < 0 ? 0 : currentData().value<std::uint32_t>();
}

void CColorComboBox::setColor(std::uint32_t rgb) {
    setCurrentIndex(findData(QVariant::fromValue(rgb)));
}

QImage rolePhoto(const QString& strBase64, const QSize& size) {
    QImage picture;
    if (!strBase64.isEmpty() && picture.loadFromData(QByteArray::fromBase64(strBase64.toLatin1()), "JPEG"))
        return picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return defaultPhoto(size);
}

// ------------------------------------------------------------------------------------------ one role

CEditRoleDlg::CEditRoleDlg(CVarEDoc& doc, IPrompts& prompts, const CRole* pRole, QWidget* pParent)
    : QDialog(pParent), m_doc(doc), m_prompts(prompts), m_pRole(pRole), m_pName(new QLineEdit(this)),
      m_pGender(new QComboBox(this)), m_pColor(new CColorComboBox(this)),
      m_pDescription(new QPlainTextEdit(this)), m_pPhoto(new CPhotoStatic(this)),
      m_pTakePhoto(new QPushButton(QStringLiteral("&Prendre une photo..."), this)) {
    setWindowTitle(QString::fromUtf8("Édition d'un rôle"));
    m_pGender->addItems({QStringLiteral("Autre"), QStringLiteral("Homme"), QStringLiteral("Femme")});
    m_pTakePhoto->setEnabled(false);

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Nom :"), m_pName);
    pForm->addRow(QStringLiteral("Sexe :"), m_pGender);
    pForm->addRow(QStringLiteral("Couleur :"), m_pColor);
    pForm->addRow(QStringLiteral("Description :"), m_pDescription);
    auto* pPhotoColumn = new QVBoxLayout;
    pPhotoColumn->addWidget(m_pPhoto, 0, Qt::AlignHCenter);
    pPhotoColumn->addWidget(m_pTakePhoto);
    pPhotoColumn->addStretch(1);
    auto* pTop = new QHBoxLayout;
    pTop->addLayout(pForm, 1);
    pTop->addLayout(pPhotoColumn);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CEditRoleDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CEditRoleDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addWidget(pButtons);

    if (pRole) {
        m_pName->setText(pRole->getName());
        m_pGender->setCurrentIndex(std::clamp(pRole->getGender(), 0, 2));
        m_pColor->setColor(pRole->getColor());
        m_pDescription->setPlainText(pRole->getDescription());
        m_strImage = pRole->getImage();
    }
    showPhoto();
    connect(m_pTakePhoto, &QPushButton::clicked, this, [this] {
        if (!m_photoSource) return;
        const QString str = m_photoSource(this);
        if (str.isEmpty()) return;
        m_strImage = str;
        showPhoto();
    });
    m_pName->setFocus();
    m_pName->end(false);
}

void CEditRoleDlg::setPhotoSource(std::function<QString(QWidget*)> source) {
    m_photoSource = std::move(source);
    m_pTakePhoto->setEnabled(bool(m_photoSource));
}

void CEditRoleDlg::showPhoto() {
    m_pPhoto->setPicture(rolePhoto(m_strImage, PHOTO_SIZE));
}

QString CEditRoleDlg::cleanName(const QString& str) {
    QString s = str;
    while (s.contains(QLatin1String("  ")))
        s.replace(QLatin1String("  "), QLatin1String(" "));
    static const QRegularExpression trailing(QStringLiteral("\\s+$"));
    return s.remove(trailing);
}

void CEditRoleDlg::accept() {
    const QString strName = cleanName(m_pName->text());
    if (strName.isEmpty()) {
        m_prompts.error(QStringLiteral("Le nom est obligatoire."));
        return;
    }
    const CVarE& script = m_doc.script();
    const auto itSame = script.findRoleByName(strName);
    if (itSame != script.getRoles().end() && &*itSame != m_pRole) {
        m_prompts.error(QString::fromUtf8("Un rôle portant ce nom existe déjà."));
        return;
    }
    CRole role = m_pRole ? *m_pRole : CRole();
    role.setName(strName);
    role.setGender(m_pGender->currentIndex());
    if (m_pColor->currentIndex() >= 0) role.setColor(m_pColor->getColor());
    role.setDescription(m_pDescription->toPlainText());
    role.setImage(m_strImage);
    m_pResult = m_pRole ? m_doc.changeRole(m_pRole, role) : m_doc.addRole(role);
    if (!m_pResult) {
        m_prompts.error(QString::fromUtf8("Un rôle portant ce nom existe déjà."));
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------------------------------------ the roles

CSelectRoleDlg::CSelectRoleDlg(CVarEDoc& doc, IPrompts& prompts, const CRole* pSelected, QWidget* pParent)
    : QDialog(pParent), m_doc(doc), m_prompts(prompts), m_pList(new QListWidget(this)),
      m_pPhoto(new CPhotoStatic(this)), m_pNew(new QPushButton(QStringLiteral("&Nouveau"), this)),
      m_pModify(new QPushButton(QStringLiteral("&Modifier"), this)),
      m_pDelete(new QPushButton(QStringLiteral("&Supprimer"), this)),
      m_pOk(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QString::fromUtf8("Rôles"));
    auto* pCancel = new QPushButton(QStringLiteral("Annuler"), this);
    auto* pSide = new QVBoxLayout;
    pSide->addWidget(m_pPhoto, 0, Qt::AlignHCenter);
    pSide->addWidget(m_pNew);
    pSide->addWidget(m_pModify);
    pSide->addWidget(m_pDelete);
    pSide->addStretch(1);
    pSide->addWidget(m_pOk);
    pSide->addWidget(pCancel);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(m_pList, 1);
    pLayout->addLayout(pSide);
    resize(420, 360);

    connect(m_pNew, &QPushButton::clicked, this, &CSelectRoleDlg::OnNew);
    connect(m_pModify, &QPushButton::clicked, this, &CSelectRoleDlg::OnModify);
    connect(m_pDelete, &QPushButton::clicked, this, &CSelectRoleDlg::OnDelete);
    connect(m_pOk, &QPushButton::clicked, this, &CSelectRoleDlg::accept);
    connect(pCancel, &QPushButton::clicked, this, &CSelectRoleDlg::reject);
    connect(m_pList, &QListWidget::currentRowChanged, this, &CSelectRoleDlg::showPhoto);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CSelectRoleDlg::accept);

    fill(pSelected);
    if (m_doc.script().getRoles().empty()) {
        m_pNew->setDefault(true);
        m_pNew->setFocus();
    } else {
        m_pOk->setDefault(true);
        m_pList->setFocus();
    }
}

void CSelectRoleDlg::fill(const CRole* pSelect) {
    m_pList->clear();
    for (const CRole& role : m_doc.script().getRoles()) {
        auto* pItem = new QListWidgetItem(role.getName(), m_pList);
        pItem->setData(Qt::UserRole, QVariant::fromValue(static_cast<const void*>(&role)));
        if (&role == pSelect) m_pList->setCurrentItem(pItem);
    }
    showPhoto();
}

const CRole* CSelectRoleDlg::current() const {
    const QListWidgetItem* pItem = m_pList->currentItem();
    return pItem && pItem->isSelected()
               ? static_cast<const CRole*>(pItem->data(Qt::UserRole).value<const void*>())
               : nullptr;
}

void CSelectRoleDlg::showPhoto() {
    const CRole* p = current();
    m_pPhoto->setPicture(rolePhoto(p ? p->getImage() : QString(), PHOTO_SIZE));
}

void CSelectRoleDlg::makeOkDefault() {
    m_pOk->setDefault(true);
    m_pOk->setFocus();
}

void CSelectRoleDlg::accept() {
    m_pChosen = current();
    if (!m_pChosen) {
        m_prompts.error(QString::fromUtf8("Vous devez sélectionner un rôle."));
        return;
    }
    QDialog::accept();
}

void CSelectRoleDlg::editRole(const CRole* pRole) {
    CEditRoleDlg dlg(m_doc, m_prompts, pRole, this);
    dlg.setPhotoSource(m_photoSource);
    if (m_runEditDialog(dlg) != QDialog::Accepted) return;
    fill(dlg.role());
    makeOkDefault();
}

void CSelectRoleDlg::OnNew() {
    editRole(nullptr);
}

void CSelectRoleDlg::OnModify() {
    if (const CRole* p = current())
        editRole(p);
    else
        m_prompts.error(QString::fromUtf8("Vous devez sélectionner un rôle."));
}

void CSelectRoleDlg::OnDelete() {
    const CRole* p = current();
    if (!p) {
        m_prompts.error(QString::fromUtf8("Vous devez sélectionner un rôle."));
        return;
    }
    const int nLines = m_doc.countLinesOfRole(p);
    if (nLines > 0) {
        m_prompts.message(QString::fromUtf8("Impossible de supprimer le rôle « %1 » affecté à %2 phrases.")
                              .arg(p->getName())
                              .arg(nLines),
                          IPrompts::ICON_NONE);
        return;
    }
    if (m_prompts.message(
            QString::fromUtf8("Voulez-vous vraiment supprimer le rôle « %1 » ?").arg(p->getName()),
            IPrompts::ICON_EXCLAMATION, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    m_doc.deleteRole(p);
    const auto& roles = m_doc.script().getRoles();
    fill(roles.empty() ? nullptr : &*roles.begin());
}

void CSelectRoleDlg::moveEvent(QMoveEvent* pEvent) {
    QDialog::moveEvent(pEvent);
    // The views behind the dialog draw again where it was.
    if (isVisible()) m_doc.UpdateAllViews(nullptr, NOTHING);
}
