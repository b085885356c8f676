#include "BandMouse.h"

#include "BandEditor.h"
#include "BandSpace.h"
#include "SignCommands.h"
#include "SignNames.h"

#include <algorithm>
#include <cstdlib>

namespace {
// The hit test looks this much later than the point: a click a little before a sign's frame is on it.
constexpr int HIT_SLACK = 20;
// A sign's link moves one position per this much of the band dragged.
constexpr int LINK_STEP = 30;
} // namespace

CBandMouse::CBandMouse(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host,
                       CSignCommands& signs)
    : m_editor(editor), m_renderer(renderer), m_host(host), m_signs(signs) {}

CTimeCode CBandMouse::timeAt(int x) {
    m_renderer.setPosition(int(m_host.getTimeCode().toMediaTime()));
    return CTimeCode::fromFrames(m_editor.frameAtX(x + HIT_SLACK));
}

CBandMouse::SHit CBandMouse::hitTest(int x, int y) {
    SHit hit;
    hit.tc = timeAt(x);
    y = std::clamp(y, 0, CBandSpace::HEIGHT - 1);
    hit.nTrack = CBandSpace::TRACK_COUNT - 1 - y / CBandSpace::TRACK_HEIGHT;
    hit.loop = script().getLoopAt(hit.tc);
    hit.bLoop = hit.loop != script().getLoops().end();
    hit.shot = script().getShotAt(hit.tc);
    hit.bShot = hit.shot != script().getShots().end();
    hit.line = script().getLineAt(hit.nTrack, hit.tc, true);
    hit.bLine = hit.line != script().getLines().end();
    if (hit.bLine && y % CBandSpace::TRACK_HEIGHT < CBandSpace::TRACK_HEIGHT / 2) {
        int nBest = -1, nDistance = 0;
        for (int i = 0; i < hit.line->getSignCount(); ++i) {
            const int d = std::abs(m_renderer.xOf(hit.line->getSign(i).getTimeCode()) - x);
            if (nBest < 0 || d < nDistance) {
                nBest = i;
                nDistance = d;
            }
        }
        hit.nSign = nBest;
    }
    return hit;
}

bool CBandMouse::isOverSign(int x, int y) {
    return m_eDrag == DRAG_SIGN || m_eDrag == DRAG_SIGN_TIME || hitTest(x, y).nSign >= 0;
}

QString CBandMouse::describeAt(int x, int y) {
    if (isDragging() || m_bShuttling) return {};
    const SHit hit = hitTest(x, y);
    const QString strDash = QStringLiteral(" \u2014 ");
    if (hit.nSign >= 0) {
        const CLipSync& sign = hit.line->getSign(hit.nSign);
        return QString::fromUtf8(signTypeCaption(sign.getType())) + strDash + sign.getTimeCode().toString();
    }
    if (hit.bLoop)
        return QStringLiteral("Boucle %1").arg(hit.loop->getNumber()) + strDash +
               hit.loop->getTimeCode().toString();
    if (hit.bShot) return QStringLiteral("Changement de plan") + strDash + hit.shot->getTimeCode().toString();
    if (!hit.bLine) return {};
    // The phrase: its role and the start of its text, enough to tell it from its neighbours.
    constexpr int TEXT_SHOWN = 60;
    const CRole* pRole = hit.line->getRolePtr();
    QString str = pRole ? pRole->getName() : QStringLiteral("Sans rôle");
    if (hit.line->isVoiceOff()) str += QStringLiteral(" (voix off)");
    const QString& strText = hit.line->getText();
    if (!strText.isEmpty())
        str += QStringLiteral(" : ") +
               (strText.size() > TEXT_SHOWN ? strText.left(TEXT_SHOWN) + QStringLiteral("…") : strText);
    return str;
}

void CBandMouse::OnLButtonDown(int x, int y, bool bCtrl) {
    CBandViewState& st = m_renderer.state();
    m_editor.setContextLine(false);
    m_eDrag = DRAG_NONE;
    m_bSelecting = false;
    m_xDown = x;
    m_nMergeId = m_editor.newMergeId();
    const SHit hit = hitTest(x, y);
    if (!hit.bLine) {
        if (hit.bLoop) {
            st.m_bHasSelectedLoop = true;
            st.m_itSelectedLoop = hit.loop;
            if (bCtrl) m_eDrag = DRAG_LOOP;
        } else if (hit.bShot) {
            st.m_bHasSelectedShot = true;
            st.m_itSelectedShot = hit.shot;
            if (bCtrl) m_eDrag = DRAG_SHOT;
        } else {
            m_editor.OnEditTrack(hit.nTrack);
        }
        return m_editor.redraw();
    }
    if (st.m_bEditMode && st.m_itSelectedLine != hit.line) m_editor.quitEditMode();
    m_renderer.setActiveTrackValue(hit.line->getTrack());
    if (!st.m_bEditMode) m_editor.editLine(hit.line, false);
    m_editor.select(hit.line);
    st.m_nSelectedSign = hit.nSign;
    m_editor.showCaret();
    if (hit.nSign >= 0) {
        if (bCtrl) {
            m_eDrag = DRAG_SIGN_TIME;
        } else if (hit.nSign > 0) {
            m_eDrag = DRAG_SIGN;
            st.m_bSignSelected = true;
            m_nLinkDown = hit.line->getSign(hit.nSign).getLink();
        } else {
            m_host.click();
        }
    }
    if (m_eDrag == DRAG_NONE) {
        m_bSelecting = true;
        m_editor.setCaret(m_renderer.getPositionAt(*hit.line, x), false);
    }
    m_editor.redraw();
}

void CBandMouse::dragSign(int x, bool bLinkToo) {
    const CBandViewState& st = m_renderer.state();
    if (!st.m_bHasSelectedLine) return;
    const CVarE::LineIterator it = st.m_itSelectedLine;
    const int nSign = st.m_nSelectedSign;
    if (nSign < 0 || nSign >= it->getSignCount()) return;
    const CLine& line = *it;
    // Kept between its neighbours.
    int nFrame = timeAt(x).getFrames();
    if (nSign > 0) nFrame = std::max(nFrame, line.getSign(nSign - 1).getFrames() + 1);
    if (nSign + 1 < line.getSignCount()) nFrame = std::min(nFrame, line.getSign(nSign + 1).getFrames() - 1);
    int nLink = -1;
    const CLipSync& sign = line.getSign(nSign);
    if (bLinkToo && sign.isLinked() && nSign != line.getFirstClosingSign()) {
        const int nWanted = m_nLinkDown + (m_xDown - x) / LINK_STEP;
        const int nBefore = line.getLastLinkedSignBefore(sign.getLink());
        int nAfter = -1;
        for (int i = nSign + 1; i < line.getSignCount() && nAfter < 0; ++i)
            if (line.getSign(i).isLinked()) nAfter = i;
        const int nLow = nBefore >= 0 ? line.getSign(nBefore).getLink() + 2 : 1;
        const int nHigh = nAfter >= 0                       ? line.getSign(nAfter).getLink() - 1
                          : line.getFirstClosingSign() >= 0 ? line.getLength() - 3
                                                            : line.getLength() - 1;
        m_editor.log("déplacement de l'offset %i\t%i\t%i\n", nLow, nWanted, nHigh);
        nLink = nLow <= nHigh ? std::clamp(nWanted, nLow, nHigh) : sign.getLink();
    }
    approach(sign.getFrames(), nFrame,
             [&](const CTimeCode& tc) { return m_signs.moveSign(it, nSign, tc, nLink, m_nMergeId); });
}

bool CBandMouse::approach(int nFrom, int nTo, const std::function<bool(const CTimeCode&)>& move) {
    // The item goes as near the cursor as its room lets it: the nearest frame that is allowed.
    // The item's own frame comes last: a sign may stay where it is while its link moves.
    const int nStep = nTo < nFrom ? -1 : 1;
    for (int f = nTo;; f -= nStep) {
        if (f >= 0 && move(CTimeCode::fromFrames(f))) return true;
        if (f == nFrom) return false;
    }
}

void CBandMouse::OnMouseMove(int x, int y) {
    (void)y;
    CBandViewState& st = m_renderer.state();
    if (m_bShuttling) {
        const int nSpeed = x >> 3;
        if (nSpeed != m_nShuttleSpeed) {
            m_nShuttleSpeed = nSpeed;
            m_host.shuttle(nSpeed);
        }
    }
    switch (m_eDrag) {
    case DRAG_SIGN:
        dragSign(x, true);
        break;
    case DRAG_SIGN_TIME:
        dragSign(x, false);
        break;
    case DRAG_LOOP:
        if (st.m_bHasSelectedLoop && st.m_itSelectedLoop->getFrames() != timeAt(x).getFrames())
            approach(st.m_itSelectedLoop->getFrames(), timeAt(x).getFrames(), [&](const CTimeCode& tc) {
                return m_signs.moveLoop(st.m_itSelectedLoop, tc, m_nMergeId);
            });
        break;
    case DRAG_SHOT:
        if (st.m_bHasSelectedShot && st.m_itSelectedShot->getFrames() != timeAt(x).getFrames())
            approach(st.m_itSelectedShot->getFrames(), timeAt(x).getFrames(), [&](const CTimeCode& tc) {
                return m_signs.moveShot(st.m_itSelectedShot, tc, m_nMergeId);
            });
        break;
    case DRAG_NONE:
        if (!m_bSelecting || !st.m_bEditMode || !st.m_bHasSelectedLine) return;
        m_editor.setCaret(m_renderer.getPositionAt(*st.m_itSelectedLine, x), true);
        m_editor.keepCaretVisible();
        break;
    }
    m_editor.redraw();
}

void CBandMouse::OnLButtonUp() {
    m_eDrag = DRAG_NONE;
    m_bSelecting = false;
    m_renderer.state().m_bSignSelected = false;
    m_editor.redraw();
}

void CBandMouse::OnMButtonDown(int x) {
    m_bShuttling = true;
    m_nShuttleSpeed = x >> 3;
    m_host.setFollowing(true);
    m_host.shuttle(m_nShuttleSpeed);
}

void CBandMouse::OnMButtonUp() {
    if (!m_bShuttling) return;
    m_bShuttling = false;
    m_nShuttleSpeed = 0;
    m_host.shuttle(0);
}

void CBandMouse::OnRButtonDown(int x, int y) {
    CBandViewState& st = m_renderer.state();
    const SHit hit = hitTest(x, y);
    if (hit.bLine) {
        if (st.m_bEditMode && st.m_itSelectedLine != hit.line) m_editor.quitEditMode();
        m_editor.select(hit.line);
        st.m_nSelectedSign = hit.nSign;
        m_editor.setContextLine(true);
        m_editor.redraw();
        return m_editor.showContextMenu(IBandEditHost::MENU_LINE, x, y);
    }
    if (!hit.bLoop && !hit.bShot) return;
    st.m_bHasSelectedLoop = hit.bLoop;
    if (hit.bLoop) st.m_itSelectedLoop = hit.loop;
    st.m_bHasSelectedShot = !hit.bLoop;
    if (!hit.bLoop) st.m_itSelectedShot = hit.shot;
    m_editor.redraw();
    m_editor.showContextMenu(IBandEditHost::MENU_MARKER, x, y);
}

void CBandMouse::OnMouseWheel(int nDelta) {
    if (nDelta == 0) return;
    const bool bForward = nDelta < 0;
    const int nSteps = (std::abs(nDelta) - 1) / 120 + 1;
    for (int i = 0; i < nSteps; ++i)
        m_host.stepFrame(bForward);
}
