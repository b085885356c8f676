#include "BandFinder.h"

#include "BandEditor.h"
#include "base/UpdateHint.h"

#include <algorithm>

CBandFinder::CBandFinder(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host)
    : m_editor(editor), m_renderer(renderer), m_host(host) {}

int CBandFinder::findInText(const QString& strText, int nFrom, const SFindParams& params) {
    if (params.strText.isEmpty()) return -1;
    const Qt::CaseSensitivity cs = params.bMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int nLength = int(params.strText.size());
    for (int i = int(strText.indexOf(params.strText, std::max(0, nFrom), cs)); i >= 0;
         i = int(strText.indexOf(params.strText, i + 1, cs))) {
        if (!params.bWholeWord) return i;
        const bool bBefore = i > 0 && strText.at(i - 1).isLetterOrNumber();
        const bool bAfter = i + nLength < strText.size() && strText.at(i + nLength).isLetterOrNumber();
        if (!bBefore && !bAfter) return i;
    }
    return -1;
}

int CBandFinder::positionOfIndex(const CLine& line, int nIndex) {
    const int nLength = line.getLength();
    int i = 0;
    for (int p = 0; p < nLength; ++p) {
        if (line.getSignAtPosition(p) >= 0) continue;
        if (i++ == nIndex) return p;
    }
    return nLength;
}

bool CBandFinder::isCandidate(const CLine& line) const {
    if (m_params.strRole.isEmpty()) return true;
    return line.hasRole() && line.getRole().getName() == m_params.strRole;
}

void CBandFinder::OnEditFindNext() {
    m_editor.log("CRythmoDXEditView::OnEditFindNext() '%s'\n", m_params.strText.toUtf8().constData());
    const bool bAgain = m_bAgain, bStartOver = m_bStartOver;
    m_bAgain = m_bStartOver = false;
    if (m_params.strText.isEmpty()) return;
    const CVarE::LineSet& lines = script().getLines();
    const CBandViewState& st = m_renderer.state();
    CVarE::LineIterator it = lines.end();
    int nFrom = 0;
    if (st.m_bEditMode && st.m_bHasSelectedLine && !bStartOver) {
        it = st.m_itSelectedLine;
        // Just after the last match, or on it when the text searched for grows.
        const int a = std::min(st.m_nSelStart, st.m_nSelEnd), b = std::max(st.m_nSelStart, st.m_nSelEnd);
        nFrom = it->toTextIndex(bAgain ? a : b);
        m_editor.quitEditMode();
    } else {
        it = script().getNextLine(m_editor.activeTrack(), m_host.getTimeCode(), false, false);
        if (it == lines.end()) it = lines.begin();
    }
    if (it == lines.end()) return m_host.click();
    // Every phrase once from where the search starts, wrapping at the end of the script; then the
    // first one again, before where the search started in it.
    const int nFromFirst = nFrom;
    for (size_t n = 0; n <= lines.size(); ++n) {
        if (n == lines.size() && nFromFirst == 0) break;
        if (isCandidate(*it)) {
            const int i = findInText(it->getText(), nFrom, m_params);
            if (i >= 0 && (n < lines.size() || i < nFromFirst)) return show(it, i);
        }
        nFrom = 0;
        if (++it == lines.end()) it = lines.begin();
    }
    m_host.updateAllViews(NOTHING, nullptr);
    m_host.click();
}

void CBandFinder::show(CVarE::LineIterator it, int nIndex) {
    const int nStart = positionOfIndex(*it, nIndex);
    const int nEnd = positionOfIndex(*it, nIndex + int(m_params.strText.size()) - 1) + 1;
    m_editor.quitEditMode();
    m_renderer.setPosition(int(m_host.getTimeCode().toMediaTime()));
    const int nFrame = m_editor.frameAtX(m_renderer.getPositionX(*it, nStart));
    m_host.gotoTime(CTimeCode::fromFrames(std::clamp(nFrame, it->getStartFrame(), it->getEndFrame())));
    m_renderer.setActiveTrackValue(it->getTrack());
    m_editor.editLine(it, true);
    m_editor.setCaret(nStart, false);
    m_editor.setCaret(nEnd, true);
    m_editor.redraw();
}
