#include "app/Transport.h"

#include "app/BookmarkList.h"
#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/Prompts.h"
#include "base/TraceLog.h"
#include "sync/SyncManager.h"

CTransport::CTransport(CSyncManager& sync, CFrameLoop& loop, CBookmarkList& bookmarks, IPrompts& prompts,
                       CTraceLog& log, QObject* pParent)
    : QObject(pParent), m_sync(sync), m_loop(loop), m_bookmarks(bookmarks), m_prompts(prompts), m_log(log) {}

void CTransport::bindCommands(CCommandTable& c) {
    c.bind(Cmd::CONTROL_PLAY_PAUSE, [this] { OnControlPlayPause(); });
    c.bind(Cmd::CONTROL_PLAY, [this] { OnControlPlay(); });
    c.bind(Cmd::CONTROL_REVERSE, [this] { OnControlReverse(); });
    c.bind(Cmd::CONTROL_STOP, [this] { OnControlStop(); });
    c.bind(Cmd::CONTROL_FAST_FORWARD, [this] { OnControlFastForward(); });
    c.bind(Cmd::CONTROL_REWIND, [this] { OnControlRewind(); });
    c.bind(Cmd::CONTROL_NEXT_FRAME, [this] { step(TC_ONE_FRAME, true, "Go one frame later\n"); });
    c.bind(Cmd::CONTROL_PREVIOUS_FRAME, [this] { step(TC_ONE_FRAME, false, "Go one frame back\n"); });
    c.bind(Cmd::CONTROL_NEXT_SECOND, [this] { step(TC_ONE_SECOND, true, "Go one second later\n"); });
    c.bind(Cmd::CONTROL_PREVIOUS_SECOND, [this] { step(TC_ONE_SECOND, false, "Go one second back\n"); });
    c.bind(Cmd::CONTROL_NEXT_10_SECONDS, [this] { step(TC_TEN_SECONDS, true, "Go ten seconds later\n"); });
    c.bind(Cmd::CONTROL_PREVIOUS_10_SECONDS,
           [this] { step(TC_TEN_SECONDS, false, "Go ten seconds back\n"); });
    c.bind(Cmd::CONTROL_JOG_FORWARD, [this] { OnControlJogForward(); });
    c.bind(Cmd::CONTROL_JOG_BACKWARD, [this] { OnControlJogBackward(); });
    const std::vector<SShuttleSpeed>& speeds = shuttleSpeeds();
    for (size_t i = 0; i < speeds.size(); ++i) {
        const int nSpeed = speeds[i].nRate;
        c.bind(Cmd::CONTROL_SHUTTLE_FIRST + int(i), [this, nSpeed] { shuttle(nSpeed); });
    }
    c.bind(Cmd::CONTROL_GOTO, [this] { OnControlGoto(); });
    c.bind(Cmd::POSITION_MARK, [this] { OnPositionMark(); });
    c.bind(Cmd::POSITION_DELETE, [this] { OnPositionDelete(); });
}

CTimeCode CTransport::getTimeCode(int nLookAhead) {
    return m_sync.getTimeCode(nLookAhead);
}

int CTransport::getRate() const {
    return m_sync.getRate();
}

bool CTransport::gotoTime(const CTimeCode& tcTarget) {
    m_bFollowPosition = true;
    CTimeCode tc = tcTarget;
    const CTimeCode tcStart = m_sync.getStartTimeCode(), tcEnd = m_sync.getEndTimeCode();
    if (tc < tcStart) tc = tcStart;
    if (tc > tcEnd) tc = tcEnd;
    m_log.Log("=> goto %s\n", tc.getText());
    const bool bOk = m_sync.gotoTime(tc);
    emit moved();
    m_loop.requestFrame();
    return bOk;
}

void CTransport::setRate(int nRate, bool bShuttle) {
    if (nRate != Rate::STOPPED) m_bShuttle = bShuttle;
    m_sync.setRate(nRate);
    emit moved();
    m_loop.wake();
}

void CTransport::setRunning(int nRate, bool bShuttle) {
    setRate(nRate, bShuttle);
    emit runningChanged(nRate != Rate::STOPPED);
}

void CTransport::stop() {
    setRunning(Rate::STOPPED, false);
}

// Runs at nRate, or stands when the clock already runs the way the command asks (bAnyRate: at any rate).
void CTransport::toggleRun(int nRate, bool bAnyRate, const char* pszRunLine) {
    m_bFollowPosition = true;
    const CTimeCode tc = getTimeCode();
    const int nNow = getRate();
    if (bAnyRate ? nNow != Rate::STOPPED : nNow == nRate) {
        m_log.Log("Pause at %s\n", tc.getText());
        setRunning(Rate::STOPPED, false);
    } else {
        m_log.Log(pszRunLine, tc.getText());
        setRunning(nRate, false);
    }
}

void CTransport::OnControlPlayPause() {
    toggleRun(Rate::NORMAL, true, "Play at %s\n");
}

void CTransport::OnControlPlay() {
    toggleRun(Rate::NORMAL, false, "Play at %s\n");
}

void CTransport::OnControlReverse() {
    toggleRun(-Rate::NORMAL, false, "Reverse at %s\n");
}

void CTransport::OnControlStop() {
    m_bFollowPosition = true;
    m_log.Log("Stop at %s\n", getTimeCode().getText());
    setRunning(Rate::STOPPED, false);
}

void CTransport::OnControlFastForward() {
    m_bFollowPosition = true;
    m_log.Log("Fast Forward (x3) at %s\n", getTimeCode().getText());
    setRunning(Rate::FAST, false);
}

void CTransport::OnControlRewind() {
    m_bFollowPosition = true;
    m_log.Log("Rewind (x3) at %s\n", getTimeCode().getText());
    setRunning(-Rate::FAST, false);
}

void CTransport::step(const CTimeCode& tcStep, bool bForward, const char* pszTrace) {
    m_bFollowPosition = true;
    m_log.Log("%s", pszTrace);
    setRunning(Rate::STOPPED, false);
    const CTimeCode tc = getTimeCode();
    CTimeCode tcTarget;
    if (bForward)
        tcTarget = tc + tcStep; // wraps at 24 hours
    else
        tcTarget = tc < tcStep ? TC_ZERO : tc - tcStep;
    gotoTime(tcTarget);
}

void CTransport::OnControlJogForward() {
    m_bFollowPosition = true;
    m_log.Log("Jog forward\n");
    m_sync.jogForward();
    m_loop.wake();
}

void CTransport::OnControlJogBackward() {
    m_bFollowPosition = true;
    m_log.Log("Jog backward\n");
    m_sync.jogBackward();
    m_loop.wake();
}

CTimeCode CTransport::getStartTimeCode() {
    return m_sync.getStartTimeCode();
}

void CTransport::shuttle(int nSpeed) {
    m_bFollowPosition = true;
    m_log.Log("Shuttle- => %i\n", nSpeed);
    setRunning(nSpeed, true);
}

void CTransport::OnControlGoto() {
    m_bFollowPosition = true;
    setRunning(Rate::STOPPED, false);
    const CTimeCode tc = m_prompts.askTimeCode(QStringLiteral("Aller à"), getTimeCode());
    if (!tc.isValid()) return;
    m_log.Log("Goto %s\n", tc.getText());
    gotoTime(tc);
}

void CTransport::OnPositionMark() {
    setRunning(Rate::STOPPED, false);
    const CTimeCode tc = getTimeCode();
    if (const CBookmark* p = m_bookmarks.find(tc)) {
        m_prompts.information(
            QStringLiteral("Cette position a déjà été mémorisée sous le nom « %1 ».").arg(p->strLabel));
        return;
    }
    QString strLabel = m_bookmarks.proposeLabel();
    if (m_prompts.askBookmarkLabel(strLabel)) m_bookmarks.add(tc, strLabel);
}

void CTransport::OnPositionDelete() {
    setRunning(Rate::STOPPED, false);
    m_prompts.deleteBookmarks(m_bookmarks);
}

void CTransport::gotoBookmark(int nId) {
    if (const CBookmarkList::Entry* p = m_bookmarks.findById(nId)) gotoTime(p->first);
}
