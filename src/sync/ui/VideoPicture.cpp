#include "sync/ui/VideoPicture.h"

#include "sync/QuickTime.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QPainter>
#include <QWindow>
#include <mpv/render_gl.h>

#include <algorithm>

namespace {
void* getProcAddress(void*, const char* pszName) {
    QOpenGLContext* pContext = QOpenGLContext::currentContext();
    return pContext ? reinterpret_cast<void*>(pContext->getProcAddress(pszName)) : nullptr;
}
} // namespace

CVideoPicture::CVideoPicture(CQuickTime* pQT, QWidget* pParent) : QOpenGLWidget(pParent), m_pQT(pQT) {
    setFocusPolicy(Qt::NoFocus);
    // Lets mpv time its next picture against the real display.
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (mpv_render_context* pRender = m_pQT ? m_pQT->getRenderContext() : nullptr)
            mpv_render_context_report_swap(pRender);
    });
}

// The view goes: the player closes its movie and frees the render context with our GL context current.
CVideoPicture::~CVideoPicture() {
    disconnect(m_contextGone);
    if (!m_pQT) return;
    const bool bCurrent = context() != nullptr;
    if (bCurrent) makeCurrent();
    m_pQT->onDestroy();
    if (bCurrent) doneCurrent();
}

bool CVideoPicture::isAttached() const {
    return m_pQT && m_pQT->getRenderContext();
}

void CVideoPicture::setDefaultImage(const QImage& image) {
    m_defaultImage = image;
    update();
}

void CVideoPicture::initializeGL() {
    disconnect(m_contextGone);
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CVideoPicture::release,
                            Qt::DirectConnection);
    attach();
}

void CVideoPicture::attach() {
    if (!m_pQT || !m_pQT->getHandle() || m_pQT->getRenderContext()) return;
    mpv_opengl_init_params glInit{&getProcAddress, nullptr};
    char szApi[] = MPV_RENDER_API_TYPE_OPENGL;
    // No advanced control: with it a synchronous mpv call from this thread can deadlock.
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, szApi},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context* pRender = m_pQT->createRenderContext(params))
        mpv_render_context_set_update_callback(pRender, &CVideoPicture::onMpvUpdate, this);
}

// The GL context is going (reparenting or destruction): mpv must let go of it first.
void CVideoPicture::release() {
    if (!m_pQT || !m_pQT->getRenderContext()) return;
    makeCurrent();
    m_pQT->freeRenderContext();
    doneCurrent();
}

void CVideoPicture::onMpvUpdate(void* pContext) {
    auto* pThis = static_cast<CVideoPicture*>(pContext);
    if (!pThis->m_bUpdateQueued.exchange(true))
        QMetaObject::invokeMethod(pThis, "onRenderUpdate", Qt::QueuedConnection);
}

void CVideoPicture::onRenderUpdate() {
    m_bUpdateQueued = false;
    mpv_render_context* pRender = m_pQT ? m_pQT->getRenderContext() : nullptr;
    if (!pRender || !(mpv_render_context_update(pRender) & MPV_RENDER_UPDATE_FRAME)) return;
    // The clock moves to this picture, the views that show its frame in this window take it, and the
    // window is painted at once: picture, timecode and band reach the screen in the same buffer swap.
    m_pQT->onPictureDue();
    emit pictureDue();
    const int nRendered = m_nRenderCount;
    repaint();
    const QWindow* pWindow = window()->windowHandle();
    // Qt turns a repaint that comes less than a refresh period after the window's last composition
    // into an update for later (on an idle machine, most of the pictures): the window's pending paint
    // is done now instead, so that the picture is not shown without its timecode and band.
    if (m_nRenderCount == nRendered && isVisible() && pWindow && pWindow->isExposed()) {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window(), &request);
    }
    if (m_nRenderCount != nRendered) return;
    // A window that is not on the screen draws nothing: no picture there for the clock to wait for.
    if (!isVisible() || !pWindow || !pWindow->isExposed()) {
        m_pQT->onPictureRendered();
    } else {
        // The paint was put off: the clock and the timecode wait for it.
        m_pQT->onPicturePutOff();
        emit pictureDue();
    }
}

void CVideoPicture::paintGL() {
    mpv_render_context* pRender = m_pQT ? m_pQT->getRenderContext() : nullptr;
    if (!pRender || !m_pQT->hasMovie() || !m_pQT->hasVideo()) {
        drawStill();
        return;
    }
    const qreal dRatio = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * dRatio), int(height() * dRatio), 0};
    int nFlip = 1;
    // Never wait here for the picture's display time: the band is drawn by the same thread.
    int nBlock = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &nFlip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &nBlock},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(pRender, params) >= 0) {
        m_pQT->onPictureRendered();
        ++m_nRenderCount;
        emit pictureRendered();
    }
}

void CVideoPicture::drawStill() {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, Qt::black);
    if (m_defaultImage.isNull()) {
        drawTestCard(p, r);
        return;
    }
    QSize size = m_defaultImage.size();
    size.scale(r.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(r.center());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_defaultImage);
}

void CVideoPicture::drawTestCard(QPainter& p, const QRect& r) {
    // 75 % colour bars over two thirds of the height, a grey ramp below, a circle and a cross in the
    // middle: enough to judge framing, colours and levels with no picture at all.
    static const QRgb BARS[] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00, 0xBF00BF, 0xBF0000, 0x0000BF};
    constexpr int NBARS = int(sizeof BARS / sizeof BARS[0]);
    const int nBarsHeight = r.height() * 2 / 3;
    for (int i = 0; i < NBARS; ++i) {
        const int x0 = r.left() + r.width() * i / NBARS, x1 = r.left() + r.width() * (i + 1) / NBARS;
        p.fillRect(QRect(x0, r.top(), x1 - x0, nBarsHeight), QColor::fromRgb(BARS[i]));
    }
    constexpr int NSTEPS = 8;
    for (int i = 0; i < NSTEPS; ++i) {
        const int x0 = r.left() + r.width() * i / NSTEPS, x1 = r.left() + r.width() * (i + 1) / NSTEPS;
        const int v = 255 * i / (NSTEPS - 1);
        p.fillRect(QRect(x0, r.top() + nBarsHeight, x1 - x0, r.height() - nBarsHeight), QColor(v, v, v));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    const int nRadius = std::min(r.width(), r.height()) / 4;
    p.drawEllipse(r.center(), nRadius, nRadius);
    p.drawLine(r.center() - QPoint(nRadius, 0), r.center() + QPoint(nRadius, 0));
    p.drawLine(r.center() - QPoint(0, nRadius), r.center() + QPoint(0, nRadius));
}
