#pragma once

#include "BandEditHost.h"

class CBandEditor;
class CBandRenderer;

// Changing what is on the band: a sign's type, deleting and unlinking signs, moving a sign, a loop or
// a shot change by a frame, moving a sign's link in the text, moving a phrase to another track, the
// voice-off flag. The moves the mouse makes go through the same checks (moveSign, moveLoop,
// moveShot). Every change is one step of the host's history; refusals click and change nothing.
//
// GUI thread only.
class CSignCommands {
public:
    CSignCommands(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host);

    void OnChangeSignType(int nType); // the selected sign
    void OnEditSignDelete();          // Suppr
    void OnContextSignDelete();
    void OnContextSignUnlink();
    void OnContextMarkerDelete();
    void OnEditUnlinkAll();
    void OnEditSignMove(int nFrames); // Ctrl+Gauche (-1), Ctrl+Droite (+1)
    void OnEditLinkMove(int nDelta);  // Ctrl+Alt+Gauche (-1), Ctrl+Alt+Droite (+1)
    void OnEditMoveToTrack(int nTrack);
    void OnEditVoiceOff();

    // A sign of a phrase to another frame and, when nLink >= 0, to another link; the phrase stays
    // clear of its neighbours and of the loops. False (and nothing changed) when refused.
    bool moveSign(CVarE::LineIterator it, int nSign, const CTimeCode& tc, int nLink, int nMergeId);
    // A loop (never into a phrase, never past another loop) or a shot change to another frame.
    bool moveLoop(CVarE::LoopIterator it, const CTimeCode& tc, int nMergeId);
    bool moveShot(CVarE::ShotIterator it, const CTimeCode& tc, int nMergeId);

private:
    CVarE& script() { return m_host.script(); }
    // The selected phrase and sign (a right-click or a click chose them); false when none.
    bool selectedSign(CVarE::LineIterator& it, int& nSign);
    // Changes a phrase as one step; false when the script refused.
    bool changeLine(CVarE::LineIterator it, const QString& strLabel,
                    const std::function<void(CLine&)>& change, int nMergeId = 0);

    CBandEditor& m_editor;
    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
};
