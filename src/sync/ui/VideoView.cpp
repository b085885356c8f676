#include "sync/ui/VideoView.h"

#include "sync/QuickTime.h"
#include "sync/SyncManager.h"
#include "sync/ui/VideoPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Scroll actions as the traces number them (line, page, thumb, ends).
enum {
    SB_LINELEFT = 0,
    SB_LINERIGHT = 1,
    SB_PAGELEFT = 2,
    SB_PAGERIGHT = 3,
    SB_THUMBTRACK = 5,
    SB_LEFT = 6,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8
};

int traceCode(int nAction) {
    switch (nAction) {
    case QAbstractSlider::SliderSingleStepSub:
        return SB_LINELEFT;
    case QAbstractSlider::SliderSingleStepAdd:
        return SB_LINERIGHT;
    case QAbstractSlider::SliderPageStepSub:
        return SB_PAGELEFT;
    case QAbstractSlider::SliderPageStepAdd:
        return SB_PAGERIGHT;
    case QAbstractSlider::SliderMove:
        return SB_THUMBTRACK;
    case QAbstractSlider::SliderToMinimum:
        return SB_LEFT;
    case QAbstractSlider::SliderToMaximum:
        return SB_RIGHT;
    default:
        return SB_ENDSCROLL;
    }
}
} // namespace

CVideoView::CVideoView(CQuickTime* pQT, CSyncManager* pSync, CTraceLog* pLog, QWidget* pParent)
    : QWidget(pParent), m_pQT(pQT), m_pSync(pSync), m_pLog(pLog ? pLog : &m_silentLog) {
    m_pLog->Log("CVideoView::OnCreate()\n");
    setFocusPolicy(Qt::NoFocus);
    m_pPicture = new CVideoPicture(pQT, this);
    m_pScrollBar = new QScrollBar(Qt::Horizontal, this);
    m_pScrollBar->setFocusPolicy(Qt::NoFocus);
    m_pScrollBar->setSingleStep(1);
    m_pScrollBar->setPageStep(3);
    m_pScrollBar->setRange(0, 0);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pPicture, 1);
    pLayout->addWidget(m_pScrollBar);
    connect(m_pScrollBar, &QAbstractSlider::actionTriggered, this, &CVideoView::onScrollAction);

    m_scrollTimer.setSingleShot(true);
    m_scrollTimer.setInterval(SCROLL_CHECK_MS);
    connect(&m_scrollTimer, &QTimer::timeout, this, &CVideoView::checkScroll);
    m_scrollTimer.start();
    m_pPicture->setDefaultImage(QImage());
    m_pLog->Log("CVideoView::OnCreate() => Ok\n");
}

CVideoView::~CVideoView() = default;

QString CVideoView::defaultImagePath(const QString& strSetting, const QString& strProgramFolder) {
    if (strSetting.isEmpty() || QFileInfo(strSetting).isAbsolute()) return strSetting;
    return QDir(strProgramFolder).filePath(strSetting);
}

void CVideoView::setDefaultImage(const QString& strPath) {
    QImageReader reader(strPath);
    m_pPicture->setDefaultImage(reader.read()); // a null image on any failure
}

void CVideoView::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    m_pLog->Log("CVideoView::OnSize(%i, %i, %i)\n", 0, pEvent->size().width(), pEvent->size().height());
    // The picture follows the view's size by itself (mpv draws into the whole surface).
    if (m_pQT) m_pQT->Log("CQuickTime::OnSize(%i, %i)\n", m_pPicture->width(), m_pPicture->height());
}

void CVideoView::onUpdate(int nHint) {
    m_pLog->LogIf(CTraceLog::MASK_UPDATES, "CVideoView::OnUpdate(%i)\n", nHint);
    // The picture shows nothing of the script: a phrase typed or a role changed leaves it as it is
    // (repainting the whole picture on every key held typing back by several frames).
    if (nHint == NEW_DOC || nHint == NOTHING) m_pPicture->update();
    m_pLog->Log("qt idle\n");
    if (m_pQT) m_pQT->onIdle();
    checkScroll();
    m_pLog->Log("CVideoView::OnUpdate() => OK\n");
}

void CVideoView::checkScroll() {
    m_pLog->LogIf(CTraceLog::MASK_UPDATES, "CVideoView::checkScroll()\n");
    int nLength = 0, nPosition = 0;
    if (m_pQT && m_pQT->hasMovie()) {
        const int nStart = m_pQT->getStartTime();
        nLength = (m_pQT->getEndTime() - nStart) / CTimeCode::MEDIA_TIME_SCALE;
        nPosition = (m_pQT->getTime() - nStart) / CTimeCode::MEDIA_TIME_SCALE;
    }
    m_pScrollBar->setRange(0, std::max(nLength, 0));
    m_pScrollBar->setPageStep(3);
    m_pScrollBar->setValue(nPosition);
    m_scrollTimer.start();
}

void CVideoView::onScrollAction(int nAction) {
    // Moving the slider below triggers another action; only the user's own counts.
    if (m_bInAction) return;
    m_bInAction = true;
    const int nPosition = m_pScrollBar->sliderPosition();
    m_pLog->Log("%i\t%i\t%X\n", traceCode(nAction), nPosition,
                unsigned(reinterpret_cast<quintptr>(m_pScrollBar)));
    const int nStart = m_pQT && m_pQT->hasMovie() ? m_pQT->getStartTime() : 0;
    switch (nAction) {
    case QAbstractSlider::SliderSingleStepSub:
        emit oneSecondBack();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        emit oneSecondLater();
        break;
    case QAbstractSlider::SliderPageStepSub:
        emit tenSecondsBack();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        emit tenSecondsLater();
        break;
    case QAbstractSlider::SliderMove: {
        CTimeCode tc;
        tc.fromMediaTime(static_cast<long long>(nStart) +
                         static_cast<long long>(nPosition) * CTimeCode::MEDIA_TIME_SCALE);
        m_pLog->Log("Track to %s\n", tc.getText());
        emit gotoTimeCode(tc);
        break;
    }
    default:
        break;
    }
    const int nNow = m_pSync ? m_pSync->getTime(0) : nStart;
    m_pScrollBar->setSliderPosition(std::max(0, (nNow - nStart) / CTimeCode::MEDIA_TIME_SCALE));
    emit updateAllViews(HINT_NOTHING);
    if (m_pFocusTarget) m_pFocusTarget->setFocus(Qt::OtherFocusReason);
    m_bInAction = false;
}
