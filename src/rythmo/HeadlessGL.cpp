// Built into the programs rather than installed beside Qt's own platform plugins.
#define QT_STATICPLUGIN

#include "HeadlessGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <QOffscreenSurface>
#include <QtGui/private/qeglconvenience_p.h>
#include <QtGui/private/qeglpbuffer_p.h>
#include <QtGui/private/qeglplatformcontext_p.h>
#include <QtGui/private/qgenericunixeventdispatcher_p.h>
#include <QtGui/private/qgenericunixfontdatabase_p.h>
#include <QtPlugin>
#include <memory>
#include <qpa/qplatformintegration.h>
#include <qpa/qplatformintegrationplugin.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>

namespace {
// An EGL display that needs no window system: Mesa's surfaceless platform, else the first device
// (drivers that offer EGL devices but not Mesa's platform). EGL_NO_DISPLAY when neither initialises.
EGLDisplay openDisplay() {
    const char* pszClient = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const QByteArray client = pszClient ? QByteArray(pszClient) : QByteArray();
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    auto initialised = [](EGLDisplay display) {
        EGLint nMajor = 0, nMinor = 0;
        return display != EGL_NO_DISPLAY && eglInitialize(display, &nMajor, &nMinor) == EGL_TRUE;
    };
    if (client.contains("EGL_MESA_platform_surfaceless")) {
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (initialised(display)) return display;
    }
    if (client.contains("EGL_EXT_platform_device")) {
        auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        EGLDeviceEXT device = nullptr;
        EGLint nDevices = 0;
        if (queryDevices && queryDevices(1, &device, &nDevices) && nDevices > 0) {
            EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
            if (initialised(display)) return display;
        }
    }
    return EGL_NO_DISPLAY;
}

// Contexts draw into framebuffer objects; their surface is a pbuffer, or none where the driver
// allows a context without one.
class CHeadlessContext : public QEGLPlatformContext {
public:
    using QEGLPlatformContext::QEGLPlatformContext;

protected:
    EGLSurface eglSurfaceForPlatformSurface(QPlatformSurface* pSurface) override {
        if (pSurface->surface()->surfaceClass() != QSurface::Offscreen) return EGL_NO_SURFACE;
        return static_cast<QEGLPbuffer*>(pSurface)->pbuffer();
    }
};

// One screen, for the fonts: 96 dots per inch as Qt's "offscreen" platform, so that text is drawn
// at the same size whichever of the two platforms draws it.
class CHeadlessScreen : public QPlatformScreen {
public:
    QRect geometry() const override { return {0, 0, 1920, 1080}; }
    int depth() const override { return 32; }
    QImage::Format format() const override { return QImage::Format_RGB32; }
    QDpi logicalDpi() const override { return {96.0, 96.0}; }
    QDpi logicalBaseDpi() const override { return {96.0, 96.0}; }
};

class CHeadlessIntegration : public QPlatformIntegration {
public:
    ~CHeadlessIntegration() override {
        if (m_pScreen) QWindowSystemInterface::handleScreenRemoved(m_pScreen);
        if (m_display != EGL_NO_DISPLAY) eglTerminate(m_display);
    }

    void initialize() override {
        m_display = openDisplay();
        m_pScreen = new CHeadlessScreen;
        QWindowSystemInterface::handleScreenAdded(m_pScreen);
    }

    bool hasCapability(Capability cap) const override {
        return (cap == OpenGL || cap == ThreadedOpenGL) ? m_display != EGL_NO_DISPLAY
                                                        : QPlatformIntegration::hasCapability(cap);
    }

    // No window is ever shown; Qt asks for one only when an off-screen surface cannot be made.
    QPlatformWindow* createPlatformWindow(QWindow* pWindow) const override {
        return new QPlatformWindow(pWindow);
    }
    QPlatformBackingStore* createPlatformBackingStore(QWindow*) const override { return nullptr; }

    QPlatformOpenGLContext* createPlatformOpenGLContext(QOpenGLContext* pContext) const override {
        if (m_display == EGL_NO_DISPLAY) return nullptr;
        EGLConfig config = q_configFromGLFormat(m_display, pContext->format(), false, EGL_PBUFFER_BIT);
        QPlatformOpenGLContext* pShare = pContext->shareHandle();
        return new CHeadlessContext(pContext->format(), pShare, m_display, config ? &config : nullptr);
    }

    QPlatformOffscreenSurface* createPlatformOffscreenSurface(QOffscreenSurface* pSurface) const override {
        if (m_display == EGL_NO_DISPLAY) return nullptr;
        return new QEGLPbuffer(m_display, pSurface->requestedFormat(), pSurface);
    }

    QPlatformFontDatabase* fontDatabase() const override { return &m_fonts; }
    QAbstractEventDispatcher* createEventDispatcher() const override { return createUnixEventDispatcher(); }

private:
    EGLDisplay m_display = EGL_NO_DISPLAY;
    CHeadlessScreen* m_pScreen = nullptr; // owned by Qt once added
    mutable QGenericUnixFontDatabase m_fonts;
};
} // namespace

class CHeadlessPlugin : public QPlatformIntegrationPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformIntegrationFactoryInterface_iid FILE "HeadlessGL.json")
public:
    QPlatformIntegration* create(const QString& strKey, const QStringList&) override {
        if (strKey.compare(QLatin1String(HeadlessGL::PLATFORM), Qt::CaseInsensitive) != 0) return nullptr;
        return new CHeadlessIntegration;
    }
};

Q_IMPORT_PLUGIN(CHeadlessPlugin)

void HeadlessGL::choosePlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? PLATFORM : "offscreen");
}

#include "HeadlessGL.moc"
