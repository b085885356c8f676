#pragma once

#include "sync/MediaUnits.h"

#include "vare/TimeCode.h"

#include <QObject>

class CBookmarkList;
class CCommandTable;
class CFrameLoop;
class CSyncManager;
class CTraceLog;
class IPrompts;

// The transport commands: play, pause, reverse, stop, steps, jog, shuttle, go to, bookmarks. They act
// on the clock (the only source of "now") and wake the frame loop; the views learn of a move or a
// change of speed through moved() and runningChanged().
//
// GUI thread only.
class CTransport : public QObject {
    Q_OBJECT
public:
    CTransport(CSyncManager& sync, CFrameLoop& loop, CBookmarkList& bookmarks, IPrompts& prompts,
               CTraceLog& log, QObject* pParent = nullptr);

    void bindCommands(CCommandTable& commands);

    CTimeCode getTimeCode(int nLookAhead = 0);
    // Clamps the target into the media (the whole day without media), then moves.
    bool gotoTime(const CTimeCode& tc);
    int getRate() const;
    // The programme's first frame (the media's, 00:00:00:00 without media).
    CTimeCode getStartTimeCode();
    void setRate(int nRate, bool bShuttle = false);
    // Stops as the editing commands do: the rate becomes 0 and the button shows "play".
    void stop();

    // The views keep the current position in sight (cleared when the user scrolls a view away).
    bool isFollowing() const { return m_bFollowPosition; }
    void setFollowing(bool b) { m_bFollowPosition = b; }
    // The last speed was set by a shuttle command (a key release then stops it).
    bool isShuttling() const { return m_bShuttle; }
    void setShuttling(bool b) { m_bShuttle = b; }

    void OnControlPlayPause();
    void OnControlPlay();
    void OnControlReverse();
    void OnControlStop();
    void OnControlFastForward();
    void OnControlRewind();
    void OnControlJogForward();
    void OnControlJogBackward();
    void shuttle(int nSpeed);
    void OnControlGoto();
    void step(const CTimeCode& tcStep, bool bForward, const char* pszTrace);
    void OnPositionMark();
    void OnPositionDelete();
    void gotoBookmark(int nId);

signals:
    // The position jumped or the speed changed.
    void moved();
    // The clock started (true) or stopped (false) by a command: the play/pause button follows.
    void runningChanged(bool bRunning);

private:
    void toggleRun(int nRate, bool bAnyRate, const char* pszRunLine);
    void setRunning(int nRate, bool bShuttle);

    CSyncManager& m_sync;
    CFrameLoop& m_loop;
    CBookmarkList& m_bookmarks;
    IPrompts& m_prompts;
    CTraceLog& m_log;
    bool m_bFollowPosition = true;
    bool m_bShuttle = false;
};
