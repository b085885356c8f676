#pragma once

#include "BandRenderer.h"
#include "BandTimeSource.h"
#include "base/UpdateHint.h"

#include <QOpenGLWidget>

class CSettingsStore;
class CTraceLog;
class QAction;

// The window that shows the rythmo band: four tracks scrolling past the fixed reading bar, drawn by
// CBandRenderer into the widget's framebuffer. While the time source's rate is not 0 the view asks
// for its next frame as soon as one is presented (one clock step per displayed frame); otherwise it
// redraws on updates only.
//
// GUI thread only. The edit view derives from it and sets the selection state.
class CRythmoDXView : public QOpenGLWidget {
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
    void setTheme(int nTheme) { m_renderer.setTheme(nTheme); }

    void OnInitialUpdate();
    void OnUpdate(int nHint);
    void clearSelection();
    void OnDisplayZoomIn();
    void OnDisplayZoomOut();
    void toggleGridAndSigns();
    void toggleDetection();

    // Asks for a frame; the loop keeps going by itself while the rate is not 0.
    void requestFrame() { update(); }
    bool isDeviceReady() const { return m_bDeviceReady; }
    bool isInitialised() const { return m_bInitialised; }

    CBandRenderer& renderer() { return m_renderer; }
    CBandViewState& state() { return m_renderer.state(); }
    int getZoomLevel() const { return m_nZoomLevel; }
    // The display's refresh rate in Hz (0 when unknown): the clock's step frequency when the display
    // really presents at that rate.
    int getRefreshRate() const;

    QAction* gridAndSignsAction() const { return m_pGridAndSigns; }
    QAction* detectionAction() const { return m_pDetection; }
    QAction* zoomInAction() const { return m_pZoomIn; }
    QAction* zoomOutAction() const { return m_pZoomOut; }

signals:
    // OpenGL could not be set up in this window: the message was shown and nothing is drawn.
    void openGLFailed();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    // Device set-up and the projection for the client size and zoom level.
    bool initD3D();
    bool setup();
    CTraceLog& log() { return *m_pLog; }

private:
    void onFrameSwapped();
    void onContextAboutToBeDestroyed();
    void updateActions();
    void showOpenGLError();

    CBandRenderer m_renderer;
    CBandFonts m_fonts;
    CBandTimeSource* m_pTime = nullptr;
    CFixedTimeSource m_still; // when no source is set
    CTraceLog* m_pLog;
    bool m_bDeviceReady = false;
    bool m_bInitialised = false;
    bool m_bFailed = false;
    int m_nZoomLevel = CBandSpace::DEFAULT_ZOOM;
    QAction* m_pGridAndSigns = nullptr;
    QAction* m_pDetection = nullptr;
    QAction* m_pZoomIn = nullptr;
    QAction* m_pZoomOut = nullptr;
};
