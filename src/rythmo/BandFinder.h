#pragma once

#include "BandEditHost.h"

class CBandEditor;
class CBandRenderer;

// What the find dialog asks for.
struct SFindParams {
    QString strText;
    bool bMatchCase = false;
    bool bWholeWord = false;
    QString strRole; // empty: every role
};

// Finding text in the phrases: from the current place (in edit mode just after the last match, else
// the first phrase of the active track from the current time) through the script in its order,
// wrapping once. A match puts the band on it, in edit mode with the match selected. Nothing found:
// click.
//
// GUI thread only.
class CBandFinder {
public:
    CBandFinder(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host);

    SFindParams m_params;
    // The next search starts from the current time again ("Suivant" in the dialog).
    void startOver() { m_bStartOver = true; }
    // The next search may take the current match again, longer (the text is being typed).
    void searchAgain() { m_bAgain = true; }

    void OnEditFindNext();

    // The text index of the first match at or after nFrom in a text; -1 when none.
    static int findInText(const QString& strText, int nFrom, const SFindParams& params);
    // The position of a character of a phrase's text in its position sequence.
    static int positionOfIndex(const CLine& line, int nIndex);

private:
    CVarE& script() { return m_host.script(); }
    bool isCandidate(const CLine& line) const;
    void show(CVarE::LineIterator it, int nIndex);

    CBandEditor& m_editor;
    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
    bool m_bStartOver = true;
    bool m_bAgain = false;
};
