#pragma once

#include "BandEditHost.h"

class CBandEditor;
class CBandRenderer;

// Moving through the script: phrase by phrase on the active track, phrase by phrase of one role,
// sign by sign (loops and shot changes included) and loop by loop. Every jump keeps the views on the
// current position; all but the phrase and loop jumps stop the transport. Nowhere to go: click.
//
// GUI thread only.
class CBandNavigator {
public:
    CBandNavigator(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host);

    void OnControlNextLine();
    void OnControlPreviousLine();
    void OnControlNextLineOfActiveRole();
    void OnControlPreviousLineOfActiveRole();
    void OnControlNextSign();
    void OnControlPreviousSign();
    void OnControlNextLoop();
    void OnControlPreviousLoop();

private:
    CVarE& script() { return m_host.script(); }
    void gotoLine(CVarE::LineIterator it, bool bNext);
    void lineOfRole(bool bNext);
    // The role of a phrase with a role covering the current time, on any track; null when none.
    const CRole* activeRole(const CTimeCode& tc);

    CBandEditor& m_editor;
    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
};
