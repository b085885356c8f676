#pragma once

#include "BandEditHost.h"

class CBandEditor;
class CBandRenderer;

// "Vérifier": counts the phrases that are not finished (no role, no text, no closing sign, or a
// closing sign not hooked at the end of the text), says how many, then shows them one by one in
// script order, offering to correct each. The check itself never changes the script.
//
// GUI thread only.
class CScriptVerifier {
public:
    CScriptVerifier(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host);

    void OnEditVerify();

    // The four conditions of a finished phrase.
    static bool isFinished(const CLine& line);
    // What is said of an unfinished phrase.
    static QString question(const CLine& line);
    // The first unfinished phrase after (tc, nTrack) in script order; end() when none.
    static CVarE::LineIterator nextUnfinished(const CVarE& script, const CTimeCode& tc, int nTrack);
    // The unfinished phrases from tc on (phrases before it are not counted).
    static int count(const CVarE& script, const CTimeCode& tc);

private:
    CBandEditor& m_editor;
    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
};
