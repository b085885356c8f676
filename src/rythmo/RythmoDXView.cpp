#include "RythmoDXView.h"

#include "BandSurface.h"
#include "BandWindow.h"
#include "OffscreenGL.h"
#include "base/Settings.h"
#include "base/TraceLog.h"
#include "sync/SyncProbe.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QStyleHints>
#include <QSurfaceFormat>
#include <QTimer>
#include <cmath>

namespace {
// A silent log for a view that was given none.
CTraceLog& silentLog() {
    static CTraceLog s_log;
    return s_log;
}
} // namespace

CRythmoDXView::CRythmoDXView(QWidget* pParent)
    : QWidget(pParent), m_pLog(&silentLog()), m_pWindow(new CBandWindow(this)),
      m_pSurface(new CBandSurface(this)), m_pFrameTimer(new QTimer(this)) {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    COffscreenGL::applyBandFormat(format);
    // Made hidden with the view, not on the first switch: a GL widget that comes into a window already
    // shown has Qt make that window's native window again, which the band's window container does not
    // survive.
    m_pSurface->setFormat(format);
    m_pSurface->hide();
    connect(m_pSurface, &QOpenGLWidget::frameSwapped, this, &CRythmoDXView::onWindowComposed);
    format.setSwapInterval(1); // present on the display's refresh
    m_pWindow->setFormat(format);
    m_pContainer = QWidget::createWindowContainer(m_pWindow, this);
    // The focus stays on this widget: the container would hand it to the native window.
    m_pContainer->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The hosts cover everything: nothing of this widget's own is ever painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_pTime = &m_still;

    connect(m_pWindow, &QOpenGLWindow::frameSwapped, this, &CRythmoDXView::onWindowComposed);
    m_pFrameTimer->setSingleShot(true);
    m_pFrameTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pFrameTimer, &QTimer::timeout, this, &CRythmoDXView::onFrameDue);
    m_pace.start();
}

CRythmoDXView::~CRythmoDXView() {
    releaseGL();
    // The hosts go before the renderer they call into.
    delete m_pSurface;
    delete m_pContainer;
}

void CRythmoDXView::releaseGL() {
    if (!m_renderer.isReady()) return;
    const bool bCurrent = m_bComposed ? m_pSurface->isValid() : m_pWindow->isValid();
    // Without a context the objects went with it: the renderer only forgets them.
    if (bCurrent) makeCurrent();
    m_renderer.releaseGL();
    if (bCurrent) doneCurrent();
    m_bDeviceReady = false;
}

void CRythmoDXView::setComposed(bool bComposed) {
    if (bComposed == m_bComposed) return;
    log().Log("CRythmoDXView::setComposed(%d)\n", int(bComposed));
    releaseGL();
    m_bComposed = bComposed;
    m_bDrawnSinceComposed = false;
    m_pFrameTimer->stop();
    m_bPacing = false;
    m_pSurface->setGeometry(rect());
    m_pSurface->setVisible(bComposed);
    m_pContainer->setGeometry(rect());
    m_pContainer->setVisible(!bComposed);
    requestFrame();
}

QOpenGLWidget* CRythmoDXView::surface() const {
    return m_pSurface;
}

QWindow* CRythmoDXView::bandWindow() const {
    return m_pWindow;
}

void CRythmoDXView::requestFrame() {
    if (m_bComposed)
        m_pSurface->update();
    else
        m_pWindow->update();
}

void CRythmoDXView::makeCurrent() {
    if (m_bComposed)
        m_pSurface->makeCurrent();
    else
        m_pWindow->makeCurrent();
}

void CRythmoDXView::doneCurrent() {
    if (m_bComposed)
        m_pSurface->doneCurrent();
    else
        m_pWindow->doneCurrent();
}

QImage CRythmoDXView::grabFramebuffer() {
    if (!m_bDeviceReady || !m_renderer.isReady()) return QImage();
    m_bHoldClock = true;
    QImage image;
    if (m_bComposed) {
        if (m_pSurface->isValid()) image = m_pSurface->grabFramebuffer();
    } else if (m_pWindow->isValid()) {
        m_pWindow->makeCurrent();
        // The back buffer holds nothing defined after a swap: draw into it again, then read it.
        paintGL();
        image = m_pWindow->grabFramebuffer();
        m_pWindow->doneCurrent();
    }
    m_bHoldClock = false;
    return image;
}

void CRythmoDXView::resizeEvent(QResizeEvent*) {
    m_pContainer->setGeometry(rect());
    m_pSurface->setGeometry(rect());
}

void CRythmoDXView::paintEvent(QPaintEvent*) {
    requestFrame();
}

bool CRythmoDXView::event(QEvent* pEvent) {
    // The native window shows the band: it shows this widget's cursor too.
    if (pEvent->type() == QEvent::CursorChange) m_pWindow->setCursor(cursor());
    return QWidget::event(pEvent);
}

int CRythmoDXView::getRefreshRate() const {
    return int(std::lround(refreshRateHz()));
}

double CRythmoDXView::refreshRateHz() const {
    const QScreen* pScreen = screen();
    return pScreen ? pScreen->refreshRate() : 0;
}

void CRythmoDXView::setLog(CTraceLog* pLog) {
    m_pLog = pLog ? pLog : &silentLog();
}

bool CRythmoDXView::isOpenGLAvailable(QString* pWhy) {
    QSurfaceFormat format;
    COffscreenGL::applyBandFormat(format);
    QOpenGLContext context;
    context.setFormat(format);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface)) {
        if (pWhy) *pWhy = QStringLiteral("no OpenGL context");
        return false;
    }
    const QSurfaceFormat got = context.format();
    const bool bOk = !context.isOpenGLES() &&
                     (got.majorVersion() > 3 || (got.majorVersion() == 3 && got.minorVersion() >= 3));
    if (!bOk && pWhy) *pWhy = QStringLiteral("OpenGL %1.%2").arg(got.majorVersion()).arg(got.minorVersion());
    context.doneCurrent();
    return bOk;
}

int CRythmoDXView::OnCreate(const CSettingsStore* pSettings) {
    log().Log("CRythmoDXView::OnCreate()\n");
    if (pSettings) {
        m_nZoomLevel =
            std::clamp(pSettings->get(Settings::ZoomLevel), CBandSpace::MIN_ZOOM, CBandSpace::MAX_ZOOM);
        m_renderer.setTheme(pSettings->get(Settings::Theme));
        m_fonts.strText = pSettings->get(Settings::BandTextFont);
        m_fonts.strLabel = pSettings->get(Settings::BandLabelFont);
    }
    updateActions();
    m_renderer.setCaretBlinkTime(QGuiApplication::styleHints()->cursorFlashTime() / 2);
    if (!isOpenGLAvailable()) {
        log().Log("initD3D() failed\n");
        m_bFailed = true;
        QMessageBox::critical(parentWidget(), QStringLiteral("Tavorin"),
                              QStringLiteral("Échec lors de l'initialisation d'OpenGL."));
        return -1;
    }
    log().Log("CRythmoDXView::OnCreate() => Ok\n");
    return 0;
}

void CRythmoDXView::showOpenGLError() {
    QMessageBox::critical(parentWidget(), QStringLiteral("Tavorin"),
                          QStringLiteral("Échec lors de l'initialisation d'OpenGL."));
    emit openGLFailed();
}

void CRythmoDXView::initializeGL() {
    if (!initD3D()) {
        log().Log("initD3D() failed\n");
        if (!m_bFailed) {
            m_bFailed = true;
            // Not from inside the paint cycle.
            QMetaObject::invokeMethod(this, &CRythmoDXView::showOpenGLError, Qt::QueuedConnection);
        }
    }
}

bool CRythmoDXView::initD3D() {
    log().Log("CRythmoDXView::initD3D()\n");
    CLogIndent indent(log());
    log().Log("Creating the device:\n");
    QString strError;
    if (!m_renderer.initGL(&log(), m_fonts, &strError)) {
        log().Log("CreateDevice() failed : %X %s\n", 0u, strError.toUtf8().constData());
        return false;
    }
    if (!setup()) {
        log().Log("setup() failed\n");
        return false;
    }
    indent.release();
    log().Log("CRythmoDXView::initD3D() => Ok\n");
    return true;
}

bool CRythmoDXView::setup() {
    log().Log("CRythmoDXView::setup()\n");
    const bool bOk = m_renderer.isReady();
    if (bOk) {
        log().Log("Activation de la transparence\n");
        log().Log("Size the viewport based on window dimensions.\n");
        log().Log("Set the projection matrix based on the window dimensions.\n");
        const qreal r = devicePixelRatioF();
        m_renderer.setViewport(int(width() * r), int(height() * r), m_nZoomLevel);
        m_bDeviceReady = width() > 0 && height() > 0;
    }
    log().Log("CRythmoDXView::setup() => %s\n", bOk ? "Ok" : "Failed");
    return bOk;
}

void CRythmoDXView::resizeGL(int w, int h) {
    log().Log("CRythmoDXView::OnSize(%i, %i, %i)\n", 0, w, h);
    m_bDeviceReady = false;
    if (w > 0 && h > 0 && m_renderer.isReady()) setup();
}

void CRythmoDXView::paintGL() {
    log().LogIf(CTraceLog::MASK_RENDER, "CRythmoDXView::OnDraw()\n");
    // A host whose context was already made when the band came to it: the objects are made here.
    if (!m_renderer.isReady() && !m_bFailed) initializeGL();
    m_nDrawnPosition = -1;
    if (!m_bDeviceReady || !m_bInitialised || !m_renderer.isReady()) {
        // No context at all when the window's could not be made.
        if (QOpenGLContext* pContext = QOpenGLContext::currentContext()) {
            pContext->functions()->glClearColor(0.647f, 0.647f, 0.647f, 1.0f);
            pContext->functions()->glClear(GL_COLOR_BUFFER_BIT);
        }
        return;
    }
    log().LogIf(CTraceLog::MASK_RENDER, "CRythmoDXView::render()\n");
    if (!m_bHoldClock) m_pTime->step();
    const int nPosition = m_bHoldClock ? m_renderer.getPosition() : m_pTime->getTime();
    m_renderer.render(nPosition);
    m_nDrawnPosition = nPosition;
    m_nDrawnRate = m_pTime->getRate();
    // A read-back is no frame of the band's: it leaves the mark of one drawn before it.
    if (!m_bHoldClock) m_bDrawnSinceComposed = true;
    log().LogIf(CTraceLog::MASK_RENDER, "CRythmoDXView::render() => DONE\n");
}

void CRythmoDXView::onWindowComposed() {
    // What the window shows now, the band's last frame beside the picture and the timecode, whatever
    // part of the window this composition was for.
    if (m_pProbe && m_nDrawnPosition >= 0) m_pProbe->bandShown(m_nDrawnPosition, m_nDrawnRate);
    if (!m_bDrawnSinceComposed) return;
    m_bDrawnSinceComposed = false;
    emit frameSwapped();
    if (m_pTime->getRate() == 0 || !m_bDeviceReady || !m_bInitialised) {
        m_bPacing = false;
        return;
    }
    // A display that waits for its refresh in the swap paces the loop by itself: the next frame is
    // then due at once. One that does not (a software renderer) would draw as fast as it can and
    // starve the rest of the program: frames are then due a refresh period apart. A frame drawn with
    // a picture counts as one of the loop's.
    const double fRefresh = refreshRateHz();
    const double fPeriod = 1000.0 / (fRefresh > 1 ? fRefresh : 60.0);
    const double fNow = double(m_pace.nsecsElapsed()) / 1e6;
    m_fNextFrameMs = m_bPacing ? m_fNextFrameMs + fPeriod : fNow + fPeriod;
    if (m_fNextFrameMs < fNow) m_fNextFrameMs = fNow; // late: no burst to catch up
    if (m_fNextFrameMs > fNow + fPeriod) m_fNextFrameMs = fNow + fPeriod;
    m_bPacing = true;
    m_pFrameTimer->start(int(m_fNextFrameMs - fNow));
}

void CRythmoDXView::joinPicture() {
    // A picture beside a band in a window of its own would reach the screen a swap apart from it.
    setComposed(true);
    if (!m_bDeviceReady || !m_bInitialised) return;
    // A standing picture painted again on the frame the band shows already: nothing to draw.
    if (m_pTime->getRate() == 0 && m_pTime->getTime() == m_nDrawnPosition) return;
    // The picture's paint is the next frame: none of the loop's before it.
    m_pFrameTimer->stop();
    m_bPacing = false;
    m_pSurface->update();
}

void CRythmoDXView::onFrameDue() {
    if (!m_bComposed) {
        if (!m_pWindow->renderNow()) {
            // Not exposed yet, or no context yet: the platform's update draws it when it can.
            m_bPacing = false;
            m_pWindow->update();
        }
        return;
    }
    if (!m_pSurface->isVisible()) {
        m_bPacing = false;
        return;
    }
    // Drawn and composed at once where the window allows it, else at the window's next update.
    m_pSurface->repaint();
}

void CRythmoDXView::OnInitialUpdate() {
    log().Log("CRythmoDXView::OnInitialUpdate()\n");
    CBandViewState& st = m_renderer.state();
    st.m_bEditMode = false;
    clearSelection();
    st.m_bSignSelected = false;
    m_bInitialised = true;
    st.m_bHideGridAndSigns = false;
    // The detection is shown when there is one; the first update then takes the rest from the script.
    const CVarE* pDetection = m_renderer.detection();
    st.m_bShowDetection = pDetection && pDetection->getLineCount() > 0;
    log().Log("CView::OnInitialUpdate()\n");
    OnUpdate(NEW_DOC);
    log().Log("CRythmoDXView::OnInitialUpdate() => Ok\n");
}

void CRythmoDXView::OnUpdate(int nHint, const void* pObject) {
    log().Log("CRythmoDXView::OnUpdate(%i)\n", nHint);
    CBandViewState& st = m_renderer.state();
    if (nHint == NEW_DOC || nHint == SHIFT_ALL) {
        st.m_bEditMode = false;
        clearSelection();
        st.m_bSignSelected = false;
        if (const CVarE* pScript = m_renderer.script())
            m_renderer.setActiveTrackValue(pScript->getLastTrack());
        m_bInitialised = true;
        st.m_bHideGridAndSigns = false;
    }
    // A phrase changed in place moves nothing else: the phrase walk need not start from the first
    // phrase again (typing in a long script costs no more than in a short one).
    if (nHint == UPDATE_LINE && pObject && m_renderer.script()) {
        const auto it = m_renderer.script()->findLine(static_cast<const CLine*>(pObject)->getKey());
        if (it != m_renderer.script()->getLines().end() && &*it == pObject)
            m_renderer.lineChanged(it);
        else
            m_renderer.resetFirstVisible();
    } else if (nHint == SHIFT_ALL && pObject) {
        m_renderer.shifted(*static_cast<const int*>(pObject));
    } else if (nHint != NOTHING) {
        m_renderer.resetFirstVisible();
    }
    log().Log("Rendering the rythmo view\n");
    updateActions();
    requestFrame();
    log().Log("CRythmoDXView::OnUpdate() => Ok\n");
}

void CRythmoDXView::clearSelection() {
    log().Log("CRythmoDXView::clearSelection()\n");
    m_renderer.clearSelection();
}

void CRythmoDXView::OnDisplayZoomIn() {
    log().Log("CRythmoDXView::OnDisplayZoomIn()\n");
    if (m_nZoomLevel > CBandSpace::MIN_ZOOM) --m_nZoomLevel;
    setup();
    updateActions();
    requestFrame();
}

void CRythmoDXView::OnDisplayZoomOut() {
    log().Log("CRythmoDXView::OnDisplayZoomOut()\n");
    if (m_nZoomLevel < CBandSpace::MAX_ZOOM) ++m_nZoomLevel;
    setup();
    updateActions();
    requestFrame();
}

void CRythmoDXView::toggleGridAndSigns() {
    m_renderer.state().m_bHideGridAndSigns = !m_renderer.state().m_bHideGridAndSigns;
    updateActions();
    requestFrame();
}

void CRythmoDXView::toggleDetection() {
    m_renderer.state().m_bShowDetection = !m_renderer.state().m_bShowDetection;
    updateActions();
    requestFrame();
}

void CRythmoDXView::updateActions() {
    emit displayChanged();
}
