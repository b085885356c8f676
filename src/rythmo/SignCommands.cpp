#include "SignCommands.h"

#include "BandEditor.h"
#include "PhraseRoom.h"
#include "base/UpdateHint.h"

namespace {
const QString MOVE = QString::fromUtf8("Déplacer");
} // namespace

CSignCommands::CSignCommands(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host)
    : m_editor(editor), m_renderer(renderer), m_host(host) {}

bool CSignCommands::selectedSign(CVarE::LineIterator& it, int& nSign) {
    const CBandViewState& st = m_renderer.state();
    if (!st.m_bHasSelectedLine) return false;
    it = st.m_itSelectedLine;
    nSign = st.m_nSelectedSign;
    return nSign >= 0 && nSign < it->getSignCount();
}

bool CSignCommands::changeLine(CVarE::LineIterator it, const QString& strLabel,
                               const std::function<void(CLine&)>& change, int nMergeId) {
    const SLineKey before = it->getKey();
    CEditChange step(m_host, strLabel, nMergeId);
    bool bOk = false;
    script().updateLine(it, change, &bOk);
    if (!bOk) return false;
    // The phrase keeps its node: iterators to it stay good, only its place may change.
    m_host.updateAllViews(it->getKey() == before ? UPDATE_LINE : REPLACE_LINE, &*it);
    return true;
}

void CSignCommands::OnChangeSignType(int nType) {
    m_editor.log("CRythmoDXEditView::OnChangeLipSyncType(%i)\n", nType);
    CVarE::LineIterator it;
    int nSign = -1;
    if (!selectedSign(it, nSign)) return m_host.click();
    const CTimeCode tc = it->getSign(nSign).getTimeCode();
    if (!changeLine(it, QStringLiteral("Type du signe"), [&](CLine& l) { l.setSignType(tc, nType); }))
        m_host.click();
    m_editor.setContextLine(false);
    m_editor.redraw();
}

void CSignCommands::OnEditSignDelete() {
    if (m_editor.isEditMode()) {
        m_editor.OnKeyDown(Qt::Key_Delete, Qt::NoModifier);
        return;
    }
    const CTimeCode tc = m_host.getTimeCode();
    const auto loop = script().getLoopAt(tc);
    if (loop != script().getLoops().end()) {
        CEditChange step(m_host, QStringLiteral("Supprimer la boucle"));
        m_host.updateAllViews(DELETE_ITEM, &*loop);
        script().deleteLoop(loop);
        m_host.updateAllViews(NOTHING, nullptr);
        return m_editor.redraw();
    }
    const auto shot = script().getShotAt(tc);
    if (shot != script().getShots().end()) {
        CEditChange step(m_host, QStringLiteral("Supprimer le changement de plan"));
        m_host.updateAllViews(DELETE_ITEM, &*shot);
        script().deleteShot(shot);
        m_host.updateAllViews(NOTHING, nullptr);
        return m_editor.redraw();
    }
    const auto it = script().getLineAt(m_editor.activeTrack(), tc, true);
    if (it == script().getLines().end()) return m_host.click();
    const int nSign = it->getSignAt(tc);
    if (nSign <= 0) return m_editor.OnEditLineDelete();
    if (!changeLine(it, QStringLiteral("Supprimer le signe"), [&](CLine& l) { l.eraseSign(tc); }))
        m_host.click();
    m_editor.redraw();
}

void CSignCommands::OnContextSignDelete() {
    CVarE::LineIterator it;
    int nSign = -1;
    if (!m_editor.isContextLine() || !selectedSign(it, nSign)) {
        m_editor.setContextLine(false);
        return m_host.click();
    }
    if (nSign == 0) return m_editor.OnEditLineDelete();
    const CLipSync sign = it->getSign(nSign);
    if (!changeLine(it, QStringLiteral("Supprimer le signe"),
                    [&](CLine& l) { l.eraseSign(sign.getTimeCode()); }))
        return m_host.click();
    CBandViewState& st = m_renderer.state();
    st.m_nSelectedSign = -1;
    if (st.m_bEditMode && sign.isLinked()) {
        if (sign.getLink() < st.m_nSelStart) --st.m_nSelStart;
        if (sign.getLink() < st.m_nSelEnd) --st.m_nSelEnd;
    }
    m_editor.setContextLine(false);
    m_editor.redraw();
}

void CSignCommands::OnContextSignUnlink() {
    CVarE::LineIterator it;
    int nSign = -1;
    if (!selectedSign(it, nSign) || !it->getSign(nSign).isLinked()) {
        m_editor.setContextLine(false);
        return m_host.click();
    }
    const CLipSync sign = it->getSign(nSign);
    if (!changeLine(it, QString::fromUtf8("Décrocher le signe"),
                    [&](CLine& l) { l.unlinkSign(sign.getTimeCode()); }))
        return m_host.click();
    CBandViewState& st = m_renderer.state();
    if (st.m_bEditMode) {
        if (sign.getLink() < st.m_nSelStart) --st.m_nSelStart;
        if (sign.getLink() < st.m_nSelEnd) --st.m_nSelEnd;
    }
    m_editor.setContextLine(false);
    m_editor.redraw();
}

void CSignCommands::OnEditUnlinkAll() {
    const CVarE::LineIterator it = m_editor.currentLine();
    m_editor.setContextLine(false);
    if (it == script().getLines().end() || it->getLinkedCount() == 0) return m_host.click();
    CBandViewState& st = m_renderer.state();
    const bool bCaret = st.m_bEditMode && st.m_bHasSelectedLine && st.m_itSelectedLine == it;
    const int nStart = bCaret ? it->toTextIndex(st.m_nSelStart) : 0;
    const int nEnd = bCaret ? it->toTextIndex(st.m_nSelEnd) : 0;
    if (!changeLine(it, QString::fromUtf8("Décrocher tous les signes"), [](CLine& l) { l.unlinkAllSigns(); }))
        return m_host.click();
    if (bCaret) {
        st.m_nSelStart = nStart;
        st.m_nSelEnd = nEnd;
    }
    m_editor.redraw();
}

void CSignCommands::OnContextMarkerDelete() {
    CBandViewState& st = m_renderer.state();
    if (st.m_bHasSelectedLoop) {
        const auto loop = st.m_itSelectedLoop;
        st.m_bHasSelectedLoop = false;
        CEditChange step(m_host, QStringLiteral("Supprimer la boucle"));
        m_host.updateAllViews(DELETE_ITEM, &*loop);
        script().deleteLoop(loop);
        m_host.updateAllViews(NOTHING, nullptr);
    } else if (st.m_bHasSelectedShot) {
        const auto shot = st.m_itSelectedShot;
        st.m_bHasSelectedShot = false;
        CEditChange step(m_host, QStringLiteral("Supprimer le changement de plan"));
        m_host.updateAllViews(DELETE_ITEM, &*shot);
        script().deleteShot(shot);
        m_host.updateAllViews(NOTHING, nullptr);
    } else {
        return m_host.click();
    }
    m_editor.redraw();
}

// ------------------------------------------------------------------------------------ moves

bool CSignCommands::moveSign(CVarE::LineIterator it, int nSign, const CTimeCode& tc, int nLink,
                             int nMergeId) {
    if (nSign < 0 || nSign >= it->getSignCount() || !tc.isValid()) return false;
    const CTimeCode tcOld = it->getSign(nSign).getTimeCode();
    CLine moved = *it;
    if (tc != tcOld && !moved.moveSign(tcOld, tc)) return false;
    if (nLink >= 0 && nLink != moved.getSign(nSign).getLink()) {
        if (!PhraseRoom::linkKeepsOrder(moved, nSign, nLink)) return false;
        moved.relinkSign(tc, nLink);
    }
    if (moved == *it) return true;
    if ((moved.getStartFrame() != it->getStartFrame() || moved.getEndFrame() != it->getEndFrame()) &&
        !PhraseRoom::fits(script(), moved, it->getTrack(), it))
        return false;
    return changeLine(
        it, MOVE, [&](CLine& l) { l = moved; }, nMergeId);
}

bool CSignCommands::moveLoop(CVarE::LoopIterator it, const CTimeCode& tc, int nMergeId) {
    if (!PhraseRoom::loopMayStandAt(script(), tc)) return false;
    const auto before = script().loopUpperBound(it->getTimeCode());
    const auto after = it == script().getLoops().begin() ? script().getLoops().end() : std::prev(it);
    // Loops keep their order (their numbers follow it).
    if (before != script().getLoops().end() && tc >= before->getTimeCode()) return false;
    if (after != script().getLoops().end() && tc <= after->getTimeCode()) return false;
    CBandViewState& st = m_renderer.state();
    const bool bSelected = st.m_bHasSelectedLoop && st.m_itSelectedLoop == it;
    CEditChange step(m_host, MOVE, nMergeId);
    m_host.updateAllViews(DELETE_ITEM, &*it);
    bool bOk = false;
    const auto moved = script().moveLoop(it, tc, &bOk);
    const auto shown = bOk ? moved : it;
    m_host.updateAllViews(NEW_ITEM, &*shown);
    if (bSelected) {
        st.m_bHasSelectedLoop = true;
        st.m_itSelectedLoop = shown;
    }
    return bOk;
}

bool CSignCommands::moveShot(CVarE::ShotIterator it, const CTimeCode& tc, int nMergeId) {
    if (!tc.isValid()) return false;
    const auto next = script().shotUpperBound(it->getTimeCode());
    const auto previous = script().getPreviousShot(it->getTimeCode());
    if (next != script().getShots().end() && tc >= next->getTimeCode()) return false;
    if (previous != script().getShots().end() && tc <= previous->getTimeCode()) return false;
    CBandViewState& st = m_renderer.state();
    const bool bSelected = st.m_bHasSelectedShot && st.m_itSelectedShot == it;
    CEditChange step(m_host, MOVE, nMergeId);
    bool bOk = false;
    const auto moved = script().moveShot(it, tc, &bOk);
    if (!bOk) return false;
    if (bSelected) st.m_itSelectedShot = moved;
    m_host.updateAllViews(NOTHING, nullptr);
    return true;
}

void CSignCommands::OnEditSignMove(int nFrames) {
    if (m_editor.isEditMode()) {
        m_editor.OnKeyDown(nFrames < 0 ? Qt::Key_Left : Qt::Key_Right, Qt::ControlModifier);
        return;
    }
    const CTimeCode tc = m_host.getTimeCode();
    const int nTarget = tc.getFrames() + nFrames;
    if (!tc.isValid() || nTarget < 0 || nTarget > TC_MAX.getFrames()) return m_host.click();
    const CTimeCode tcTarget = CTimeCode::fromFrames(nTarget);
    bool bMoved = false, bFound = false;
    const auto it = script().getLineAt(m_editor.activeTrack(), tc, true);
    const int nSign = it != script().getLines().end() ? it->getSignAt(tc) : -1;
    if (nSign >= 0) {
        bFound = true;
        bMoved = moveSign(it, nSign, tcTarget, -1, 0);
    } else if (const auto loop = script().getLoopAt(tc); loop != script().getLoops().end()) {
        bFound = true;
        bMoved = moveLoop(loop, tcTarget, 0);
    } else if (const auto shot = script().getShotAt(tc); shot != script().getShots().end()) {
        bFound = true;
        bMoved = moveShot(shot, tcTarget, 0);
    }
    if (!bFound || !bMoved) return m_host.click();
    // The moved item stays under the reading bar.
    m_host.gotoTime(tcTarget);
    m_editor.redraw();
}

void CSignCommands::OnEditLinkMove(int nDelta) {
    const CBandViewState& st = m_renderer.state();
    CVarE::LineIterator it;
    int nSign = -1;
    if (st.m_bEditMode) {
        it = st.m_itSelectedLine;
        nSign = it->getSignAtPosition(st.m_nSelStart);
        if (nSign < 0) nSign = it->getSignAtPosition(st.m_nSelStart - 1);
    } else {
        it = m_editor.currentLine();
        if (it != script().getLines().end()) nSign = it->getSignAt(m_host.getTimeCode());
    }
    if (nSign <= 0 || nSign == it->getFirstClosingSign()) return m_host.click();
    const CLipSync sign = it->getSign(nSign);
    const CTimeCode tc = sign.getTimeCode();
    int nLink = 0;
    if (!sign.isLinked()) {
        m_renderer.setPosition(int(m_host.getTimeCode().toMediaTime()));
        nLink = m_renderer.getPositionAt(*it, m_renderer.xOf(tc));
    } else {
        nLink = sign.getLink() + nDelta;
        const int nBefore = it->getLastLinkedSignBefore(sign.getLink());
        int nAfter = -1;
        for (int i = nSign + 1; i < it->getSignCount() && nAfter < 0; ++i)
            if (it->getSign(i).isLinked()) nAfter = i;
        const int nLow = nBefore >= 0 ? it->getSign(nBefore).getLink() + 2 : 0;
        const int nHigh = nAfter >= 0 ? it->getSign(nAfter).getLink() - 2 : it->getLength() - 1;
        if (nLink < nLow || nLink > nHigh) return m_host.click();
    }
    if (!PhraseRoom::linkKeepsOrder(*it, nSign, nLink) ||
        !changeLine(it, MOVE, [&](CLine& l) { l.relinkSign(tc, nLink); }))
        return m_host.click();
    if (sign.isLinked() && st.m_bEditMode) m_editor.setCaret(st.m_nSelStart + nDelta, false);
    m_editor.redraw();
}

void CSignCommands::OnEditMoveToTrack(int nTrack) {
    const CVarE::LineIterator it = m_editor.currentLine();
    m_editor.setContextLine(false);
    if (it == script().getLines().end() || it->getTrack() == nTrack) return m_host.click();
    CLine moved = *it;
    moved.setTrack(nTrack);
    if (!PhraseRoom::fits(script(), moved, nTrack, it) ||
        !changeLine(it, QString::fromUtf8("Déplacer la phrase"), [&](CLine& l) { l.setTrack(nTrack); }))
        return m_host.click();
    m_editor.log("CRythmoDXEditView::OnEditMoveLine() => %i\n", nTrack + 1);
    // The phrase stays the current one: its new track becomes the active one.
    m_renderer.setActiveTrackValue(nTrack);
    m_editor.redraw();
}

void CSignCommands::OnEditVoiceOff() {
    const CVarE::LineIterator it = m_editor.currentLine();
    m_editor.setContextLine(false);
    if (it == script().getLines().end()) return m_host.click();
    const bool bOff = !it->isVoiceOff();
    changeLine(it, QStringLiteral("Voix off"), [&](CLine& l) { l.setVoiceOff(bOff); });
    m_editor.redraw();
}
