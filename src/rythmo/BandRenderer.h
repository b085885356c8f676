#pragma once

#include "BandPalette.h"
#include "BandSpace.h"
#include "Bookmarks.h"
#include "GLDevice.h"
#include "LipSyncShapes.h"
#include "Motif.h"
#include "Police.h"
#include "vare/VarE.h"

#include <QString>
#include <QStringView>
#include <cstdint>

class CTraceLog;

// The faces of the band's four fonts (phrase text light; role labels semibold; loop numbers and
// bookmark labels bold, in the label face).
struct CBandFonts {
    QString strText = QStringLiteral("Open Sans Light");
    QString strLabel = QStringLiteral("Open Sans");
};

// What the band views set and the frame reads: display toggles, edit mode, the selected phrase and
// sign, caret and selection (positions in the selected phrase's position sequence), caret blink.
struct CBandViewState {
    bool m_bHideGridAndSigns = false; // "Grille et Signes"
    bool m_bShowDetection = false;    // "Détection"
    bool m_bEditMode = false;
    bool m_bHasSelectedLine = false;
    CVarE::LineIterator m_itSelectedLine; // valid while m_bHasSelectedLine
    int m_nSelectedSign = -1;             // index in the selected phrase's signs
    bool m_bSignSelected = false;
    int m_nSelStart = 0; // the caret
    int m_nSelEnd = 0;   // the selection's other end
    bool m_bCaretVisible = false;
    qint64 m_nCaretToggleTime = 0; // ms, monotonic
    bool m_bHasSelectedShot = false;
    CVarE::ShotIterator m_itSelectedShot; // valid while m_bHasSelectedShot
    bool m_bHasSelectedLoop = false;
    CVarE::LoopIterator m_itSelectedLoop; // valid while m_bHasSelectedLoop
};

// Draws one frame of the band into whatever framebuffer is bound: the window's and the off-screen
// images share this one path. Building the frame (filling the vertex arrays) is separate from
// drawing it and needs no GL context, so it can be measured alone.
//
// The renderer holds positions into the script it is given and never changes the script.
// GUI thread only.
class CBandRenderer {
public:
    CBandRenderer();
    ~CBandRenderer();
    CBandRenderer(const CBandRenderer&) = delete;
    CBandRenderer& operator=(const CBandRenderer&) = delete;

    // Device set-up with the target's context current: shaders and buffers, the sign shapes, the
    // four fonts (made once; a rebuilt context only uploads them again). False on failure.
    bool initGL(CTraceLog* pLog, const CBandFonts& fonts, QString* pError = nullptr);
    // Makes the four fonts' atlases (no GL needed); initGL does it when not done yet.
    void initFonts(const CBandFonts& fonts);
    // Frees the GL objects (context current, or already lost).
    void releaseGL();
    bool isReady() const { return m_device.isCreated(); }

    // Sources. Any may be null.
    void setScript(const CVarE* pScript);
    void setDetection(const CVarE* pDetection);
    void setBookmarks(const CBookmarks* pBookmarks) { m_pBookmarks = pBookmarks; }
    // The active track shared by the band views (null: a track of the renderer's own).
    void setActiveTrack(int* pnTrack) { m_pActiveTrack = pnTrack ? pnTrack : &m_nOwnActiveTrack; }
    int getActiveTrack() const { return *m_pActiveTrack; }
    void setActiveTrackValue(int nTrack) { *m_pActiveTrack = nTrack; }
    const CVarE* script() const { return m_pScript; }
    const CVarE* detection() const { return m_pDetection; }
    void setTheme(int nTheme) { m_pPalette = &CBandPalette::forTheme(nTheme); }
    // Caret half-period in ms; 0 or less: the caret does not blink.
    void setCaretBlinkTime(int nMs) { m_nCaretBlinkMs = nMs; }

    // Client size in pixels and zoom level (1..6).
    void setViewport(int nWidth, int nHeight, int nZoom);
    int getZoomLevel() const { return m_space.nZoom; }
    const CBandSpace& space() const { return m_space; }
    int getPosition() const { return m_nPosition; }

    CBandViewState& state() { return m_state; }
    const CBandViewState& state() const { return m_state; }
    void clearSelection();
    // The phrase walk starts again from the first phrase (every update and every backward move).
    void resetFirstVisible();
    // A phrase changed in place: the walk starts from it at the latest (no walk from the first phrase
    // for a change that cannot move anything else).
    void lineChanged(CVarE::LineIterator it);
    // Every item of the script moved by nFrames, none changed order.
    void shifted(int nFrames);
    // The position the x of positions and times are taken from, until the next frame is built.
    void setPosition(int nPosition);

    // Fills the frame's vertex arrays for the position (media time). No GL call.
    void buildFrame(int nPosition);
    // Draws the built frame into the bound framebuffer.
    void drawFrame();
    void render(int nPosition) {
        buildFrame(nPosition);
        drawFrame();
    }

    // x of a position of a phrase's sequence at the current position, and the inverse.
    int getPositionX(const CLine& line, int nPos) const;
    int getPositionAt(const CLine& line, int x) const;
    int xOf(const CTimeCode& tc) const { return CBandSpace::xOf(tc, m_nPosition); }

    const CGLDevice& device() const { return m_device; }
    CPolice& phraseFont() { return m_phraseFont; }
    CPolice& roleFont() { return m_roleFont; }
    CPolice& loopFont() { return m_loopFont; }
    CPolice& bookmarkFont() { return m_bookmarkFont; }

private:
    struct CAnchor {
        int x;
        int nPos;
    };
    void drawGrid();
    void drawSelectedBand();
    void drawLoops();
    void drawShots();
    void drawBookmarks();
    void drawLines(const CVarE& script, CVarE::LineIterator& itFirst, bool bDetection);
    void drawLine(const CVarE& script, const CLine& line, bool bDetection, bool bSelected);
    void drawCaret(const CLine& line, int nBase);
    void drawReadingBar();
    int numberText(int n, char16_t* pBuffer) const;

    CTraceLog* m_pLog = nullptr;
    CGLDevice m_device;
    CMotif m_quad;
    CPolice m_phraseFont;
    CPolice m_roleFont;
    CPolice m_loopFont;
    CPolice m_bookmarkFont;
    CLipSyncShapes m_shapes;
    bool m_bFontsMade = false;

    const CVarE* m_pScript = nullptr;
    const CVarE* m_pDetection = nullptr;
    const CBookmarks* m_pBookmarks = nullptr;
    int m_nOwnActiveTrack = 0;
    int* m_pActiveTrack = &m_nOwnActiveTrack;
    const CBandPalette* m_pPalette = &CBandPalette::forTheme(1);
    int m_nCaretBlinkMs = 500;

    CBandSpace m_space = CBandSpace::make(0, CBandSpace::DEFAULT_ZOOM);
    int m_nWidth = 0, m_nHeight = 0;
    int m_nPosition = 0;
    CBandViewState m_state;
    CVarE::LineIterator m_itFirstVisible;
    CVarE::LineIterator m_itFirstVisibleDetection;
    bool m_bFirstVisibleValid = false;
    // This frame's window, in frames.
    int m_nFirstFrame = 0, m_nLastFrame = 0;

    // One second of grid (x 0..600), rebuilt when the frame rate changes.
    struct CPoint {
        float x, y;
    };
    CPoint m_grid[8 + 10 * 600];
    int m_nGridCount = 0;
    int m_nGridRate = 0;
};
