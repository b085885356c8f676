#pragma once

#include "BandEditHost.h"

#include <QString>
#include <functional>

class CBandEditor;
class CBandRenderer;
class CSignCommands;

// The mouse on the band, in band space (x in media time from the reading bar, y from 0 at the bottom
// to 400 at the top): what is under the cursor, selecting, dragging a sign (in time and in the
// text), dragging a loop, a shot change or a sign in time with Ctrl, selecting text, shuttling with
// the middle button, stepping frames with the wheel, the context menus. A drag is one step of the
// history.
//
// GUI thread only.
class CBandMouse {
public:
    CBandMouse(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host, CSignCommands& signs);

    // What lies under a point of the band.
    struct SHit {
        CTimeCode tc;
        int nTrack = 0;
        CVarE::LineIterator line;
        bool bLine = false;
        int nSign = -1; // in the phrase, when the point is in the lower half of its track
        CVarE::LoopIterator loop;
        bool bLoop = false;
        CVarE::ShotIterator shot;
        bool bShot = false;
    };
    SHit hitTest(int x, int y);
    // The horizontal-move cursor shows over a sign.
    bool isOverSign(int x, int y);
    // What the tool tip says of the point: the sign, loop or shot change there with its timecode, else
    // the phrase's role and text; empty over bare band and while dragging.
    QString describeAt(int x, int y);

    void OnLButtonDown(int x, int y, bool bCtrl);
    void OnLButtonUp();
    void OnMouseMove(int x, int y);
    void OnMButtonDown(int x);
    void OnMButtonUp();
    void OnRButtonDown(int x, int y);
    void OnMouseWheel(int nDelta);

    bool isDragging() const { return m_eDrag != DRAG_NONE || m_bSelecting; }

private:
    enum EDrag { DRAG_NONE, DRAG_SIGN, DRAG_SIGN_TIME, DRAG_LOOP, DRAG_SHOT };
    CVarE& script() { return m_host.script(); }
    // The frame under x, as the hit test takes it (to the nearest frame).
    CTimeCode timeAt(int x);
    void dragSign(int x, bool bLinkToo);
    // Moves to the allowed frame nearest nTo, from nFrom; false when none is.
    static bool approach(int nFrom, int nTo, const std::function<bool(const CTimeCode&)>& move);

    CBandEditor& m_editor;
    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
    CSignCommands& m_signs;
    EDrag m_eDrag = DRAG_NONE;
    bool m_bSelecting = false;
    bool m_bShuttling = false;
    int m_nShuttleSpeed = 0;
    int m_xDown = 0;
    int m_nLinkDown = -1;
    int m_nMergeId = 0;
};
