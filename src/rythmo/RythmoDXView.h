#pragma once

#include "BandRenderer.h"
#include "BandTimeSource.h"
#include "base/UpdateHint.h"

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

class CSettingsStore;
class CTraceLog;
class CSyncProbe;
class CBandSurface;
class CBandWindow;
class QOpenGLWidget;
class QTimer;
class QWindow;

// The window that shows the rythmo band: four tracks scrolling past the fixed reading bar, drawn by
// CBandRenderer into one of two OpenGL hosts that fill this widget. While a picture shares the
// top-level window: a surface composed with the rest of it (CBandSurface), so that the picture, the
// band and the timecode of one frame reach the screen in one buffer swap. Otherwise: a native window
// of its own (CBandWindow), which presents a band frame without composing the whole top-level window
// again (on a software renderer that composition can cost as much as drawing the band). The
// renderer's GL objects are made again in the other host's context on a switch. While the time
// source's rate is not 0 the view draws frame after frame, one a refresh period at most (one clock
// step per displayed frame); otherwise it redraws on updates only. The widget keeps the focus and
// receives the keys, clicks and wheel of the band; update() on it asks for a frame too. Files dropped
// on the band go to the top-level window.
//
// GUI thread only. The edit view derives from it and sets the selection state.
class CRythmoDXView : public QWidget {
    Q_OBJECT
public:
    explicit CRythmoDXView(QWidget* pParent = nullptr);
    ~CRythmoDXView() override;

    // Reads "ZoomLevel", "Theme" and the fonts, and checks that OpenGL 3.3 can be had. 0 on success;
    // -1 after the error message, and the caller does not keep the view.
    int OnCreate(const CSettingsStore* pSettings);
    // Whether an OpenGL 3.3 core context can be made on this display.
    static bool isOpenGLAvailable(QString* pWhy = nullptr);

    void setLog(CTraceLog* pLog);
    void setScript(const CVarE* pScript) { m_renderer.setScript(pScript); }
    void setDetection(const CVarE* pDetection) { m_renderer.setDetection(pDetection); }
    void setBookmarks(const CBookmarks* pBookmarks) { m_renderer.setBookmarks(pBookmarks); }
    void setActiveTrack(int* pnTrack) { m_renderer.setActiveTrack(pnTrack); }
    void setTimeSource(CBandTimeSource* pSource) { m_pTime = pSource; }
    // Told of the band's frame at every composition of the window, or every swap of the band's own
    // window (nullptr: nothing is told).
    void setProbe(CSyncProbe* pProbe) { m_pProbe = pProbe; }
    void setTheme(int nTheme) { m_renderer.setTheme(nTheme); }

    virtual void OnInitialUpdate();
    // pObject: the item the hint is about, when it names one.
    virtual void OnUpdate(int nHint, const void* pObject = nullptr);
    void clearSelection();
    void OnDisplayZoomIn();
    void OnDisplayZoomOut();
    void toggleGridAndSigns();
    void toggleDetection();

    // Asks for a frame; the loop keeps going by itself while the rate is not 0.
    void requestFrame();
    // A picture of the same window is about to be painted: the band draws its frame in that paint, so
    // that both reach the screen in the same buffer swap; the loop's next frame is due a refresh period
    // after it.
    // Switches the band to the surface composed with the window (a picture is beside it), or back
    // to its own window. A picture that joins the band switches it to the surface by itself.
    void setComposed(bool bComposed);
    bool isComposed() const { return m_bComposed; }
    void joinPicture();
    // Whether the loop runs: a next frame is due. It stops after the first frame drawn at rate 0.
    bool isFrameLoopRunning() const { return m_bPacing; }
    bool isDeviceReady() const { return m_bDeviceReady; }
    bool isInitialised() const { return m_bInitialised; }

    CBandRenderer& renderer() { return m_renderer; }
    CBandViewState& state() { return m_renderer.state(); }
    int getZoomLevel() const { return m_nZoomLevel; }
    // The display's refresh rate in Hz (0 when unknown): the clock's step frequency when the display
    // really presents at that rate.
    int getRefreshRate() const;

    // The two hosts the band is drawn into; neither takes input of its own: everything goes to this
    // widget.
    QOpenGLWidget* surface() const;
    QWindow* bandWindow() const;
    // Draws the band at the current position, without a clock step, and reads it back; a null image
    // while OpenGL is not set up.
    QImage grabFramebuffer();
    // The current host's context, for a derived view's own GL work.
    void makeCurrent();
    void doneCurrent();

    // What the display commands may do and show.
    bool canZoomIn() const { return m_nZoomLevel > CBandSpace::MIN_ZOOM; }
    bool canZoomOut() const { return m_nZoomLevel < CBandSpace::MAX_ZOOM; }
    bool isGridAndSignsHidden() const { return m_renderer.state().m_bHideGridAndSigns; }
    bool isDetectionShown() const { return m_renderer.state().m_bShowDetection; }

signals:
    // OpenGL could not be set up in this window: the message was shown and nothing is drawn.
    void openGLFailed();
    // A frame of the band was presented.
    void frameSwapped();
    // Zoom, grid or detection changed (menus follow).
    void displayChanged();

protected:
    // Called by the current host with its context current.
    virtual void initializeGL();
    virtual void resizeGL(int w, int h);
    virtual void paintGL();

    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

    // Device set-up and the projection for the client size and zoom level.
    bool initD3D();
    bool setup();
    CTraceLog& log() { return *m_pLog; }

private:
    friend class CBandSurface;
    friend class CBandWindow;
    double refreshRateHz() const;
    // The renderer's GL objects leave the current host's context (before a switch, or for good).
    void releaseGL();
    // After every composition of the window, whether or not the band was drawn in it; in its own
    // window, after each of its frames.
    void onWindowComposed();
    void onFrameDue();
    void updateActions();
    void showOpenGLError();

    CBandRenderer m_renderer;
    CBandFonts m_fonts;
    CBandTimeSource* m_pTime = nullptr;
    CFixedTimeSource m_still; // when no source is set
    CSyncProbe* m_pProbe = nullptr;
    CTraceLog* m_pLog;
    // Children of this widget that fill it, one shown at a time.
    CBandWindow* m_pWindow; // owned by the container
    QWidget* m_pContainer;
    CBandSurface* m_pSurface;
    bool m_bComposed = false;
    // The running loop's pace: the next frame is due one refresh period after the last one was.
    QTimer* m_pFrameTimer;
    QElapsedTimer m_pace;
    double m_fNextFrameMs = 0;
    bool m_bPacing = false;
    bool m_bDeviceReady = false;
    bool m_bInitialised = false;
    bool m_bFailed = false;
    // The band was drawn since the window's last composition.
    bool m_bDrawnSinceComposed = false;
    // A read-back draws the position as it is, without stepping the clock.
    bool m_bHoldClock = false;
    // The position and rate of the frame last drawn (position -1: nothing drawn), told to the probe
    // at each composition of the window.
    int m_nDrawnPosition = -1;
    int m_nDrawnRate = 0;
    int m_nZoomLevel = CBandSpace::DEFAULT_ZOOM;
};
