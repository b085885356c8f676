#include "BandNavigator.h"

#include "BandEditor.h"
#include "BandSpace.h"

#include <algorithm>
#include <climits>

CBandNavigator::CBandNavigator(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host)
    : m_editor(editor), m_renderer(renderer), m_host(host) {}

void CBandNavigator::gotoLine(CVarE::LineIterator it, bool bNext) {
    if (it == script().getLines().end()) {
        m_editor.log(bNext ? "CRythmoDXEditView::OnControlNextLine() => end of rythmo\n"
                           : "CRythmoDXEditView::OnControlNextLine() => start of rythmo\n");
        return m_host.click();
    }
    m_editor.quitEditMode();
    m_renderer.setActiveTrackValue(it->getTrack());
    const CTimeCode tc = it->getTimeCode();
    m_editor.log("CRythmoDXEditView::OnControlNextLine() => %s\n", tc.getText());
    m_host.gotoTime(tc);
    m_editor.redraw();
}

void CBandNavigator::OnControlNextLine() {
    m_host.setFollowing(true);
    gotoLine(script().getNextLine(m_editor.activeTrack(), m_host.getTimeCode(), true, false), true);
}

void CBandNavigator::OnControlPreviousLine() {
    m_host.setFollowing(true);
    gotoLine(script().getPreviousLine(m_editor.activeTrack(), m_host.getTimeCode(), true, false), false);
}

const CRole* CBandNavigator::activeRole(const CTimeCode& tc) {
    for (int k = 0; k < CBandSpace::TRACK_COUNT; ++k) {
        const auto it = script().getLineAt(k, tc, false);
        if (it != script().getLines().end() && it->hasRole() && it->hasClosingSign()) return &it->getRole();
    }
    return nullptr;
}

void CBandNavigator::lineOfRole(bool bNext) {
    m_host.setFollowing(true);
    const CTimeCode tc = m_host.getTimeCode();
    const CRole* pRole = activeRole(tc);
    if (!pRole) return m_host.click();
    const CVarE::LineSet& lines = script().getLines();
    auto same = [pRole](const CLine& l) { return l.getRolePtr() == pRole; };
    CVarE::LineIterator target = lines.end();
    if (bNext) {
        // Past every phrase starting at tc, whatever its track.
        target = std::find_if(lines.upper_bound(SLineKey{tc.getFrames(), INT_MAX}), lines.end(), same);
    } else {
        auto it = lines.lower_bound(SLineKey{tc.getFrames(), INT_MIN});
        while (it != lines.begin())
            if (same(*--it)) {
                target = it;
                break;
            }
    }
    if (target == lines.end()) return m_host.click();
    m_editor.quitEditMode();
    m_host.gotoTime(target->getTimeCode());
    m_editor.redraw();
}

void CBandNavigator::OnControlNextLineOfActiveRole() {
    m_editor.log("CRythmoDXEditView::OnControlNextLineOfActiveRole()\n");
    lineOfRole(true);
}

void CBandNavigator::OnControlPreviousLineOfActiveRole() {
    m_editor.log("CRythmoDXEditView::OnControlPreviousLineOfActiveRole()\n");
    lineOfRole(false);
}

void CBandNavigator::OnControlNextSign() {
    if (m_editor.isEditMode()) {
        m_editor.OnKeyDown(Qt::Key_Right, Qt::NoModifier);
        return;
    }
    m_host.setFollowing(true);
    m_host.stop();
    const CTimeCode tc = m_host.getTimeCode();
    int nBest = INT_MAX;
    if (const auto [it, i] = script().getNextSign(tc); i >= 0) nBest = it->getSign(i).getFrames();
    if (const auto loop = script().loopUpperBound(tc); loop != script().getLoops().end())
        nBest = std::min(nBest, loop->getFrames());
    if (const auto shot = script().shotUpperBound(tc); shot != script().getShots().end())
        nBest = std::min(nBest, shot->getFrames());
    if (nBest == INT_MAX) return m_host.click();
    m_host.gotoTime(CTimeCode::fromFrames(nBest));
    m_editor.redraw();
}

void CBandNavigator::OnControlPreviousSign() {
    if (m_editor.isEditMode()) {
        m_editor.OnKeyDown(Qt::Key_Left, Qt::NoModifier);
        return;
    }
    m_host.setFollowing(true);
    m_host.stop();
    const CTimeCode tc = m_host.getTimeCode();
    int nBest = -1;
    if (const auto [it, i] = script().getPreviousSign(tc); i >= 0) nBest = it->getSign(i).getFrames();
    if (const auto loop = script().getPreviousLoop(tc, true); loop != script().getLoops().end())
        nBest = std::max(nBest, loop->getFrames());
    if (const auto shot = script().getPreviousShot(tc); shot != script().getShots().end())
        nBest = std::max(nBest, shot->getFrames());
    if (nBest < 0) return m_host.click();
    m_host.gotoTime(CTimeCode::fromFrames(nBest));
    m_editor.redraw();
}

void CBandNavigator::OnControlNextLoop() {
    m_host.setFollowing(true);
    const auto loop = script().loopUpperBound(m_host.getTimeCode());
    if (loop == script().getLoops().end()) {
        m_editor.log("CRythmoDXEditView::OnControlNextLoop() => end of rythmo\n");
        return m_host.click();
    }
    m_editor.log("CRythmoDXEditView::OnControlNextLoop() => %s\n", loop->getTimeCode().getText());
    m_host.gotoTime(loop->getTimeCode());
    m_editor.redraw();
}

void CBandNavigator::OnControlPreviousLoop() {
    m_host.setFollowing(true);
    const auto loop = script().getPreviousLoop(m_host.getTimeCode(), true);
    if (loop == script().getLoops().end()) {
        m_editor.log("CRythmoDXEditView::OnControlNextLoop() => start of rythmo\n");
        return m_host.click();
    }
    m_editor.log("Jumping to previous loop at %s\n", loop->getTimeCode().getText());
    m_host.gotoTime(loop->getTimeCode());
    m_editor.redraw();
}
