#pragma once

#include "vare/VarE.h"

#include <QPoint>
#include <QString>

// What the band's editing needs of the application around it: the script and the one path by which
// it changes (steps of the document's undo history, the hints to the views), the transport, the
// questions to the user, one setting and the refusal click. The application implements it; tests
// plug in their own.
class IBandEditHost {
public:
    // The context menus of the band.
    enum EMenu { MENU_LINE, MENU_MARKER };
    enum EAnswer { ANSWER_YES, ANSWER_NO, ANSWER_CANCEL };

    virtual ~IBandEditHost() = default;

    // The script, to read, and to change only between beginChange() and endChange().
    virtual CVarE& script() = 0;
    // One undoable step; steps with the same non-zero merge id made one after the other are one.
    // Closing a step that changed something marks the document modified.
    virtual void beginChange(const QString& strLabel, int nMergeId) = 0;
    virtual void endChange() = 0;
    // Tells every view (this one too) what changed.
    virtual void updateAllViews(int nHint, const void* pObject) = 0;

    // The transport: "now", stopping as the editing commands do, jumps, the shuttle.
    virtual CTimeCode getTimeCode() = 0;
    virtual void stop() = 0;
    virtual void gotoTime(const CTimeCode& tc) = 0;
    virtual void playPause() = 0;
    virtual void shuttle(int nSpeed) = 0;
    // The speed was set by a shuttle command (a key release then stops it).
    virtual bool isShuttling() = 0;
    virtual void stopShuttle() = 0;
    // One frame later or earlier, as the frame step commands go.
    virtual void stepFrame(bool bForward) = 0;
    // The views keep the current position in sight.
    virtual void setFollowing(bool bFollow) = 0;
    // Where the programme starts: the media's first frame (00:00:00:00 without media).
    virtual CTimeCode getStartTimeCode() = 0;

    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& strText) = 0;
    // A Yes/No/Cancel question (question icon).
    virtual EAnswer askYesNoCancel(const QString& strText) = 0;
    // A message with the information icon.
    virtual void inform(const QString& strText) = 0;
    // The role dialog, with a role preselected (or none); the role chosen, null when the user
    // refused. bNewLine: asked for a phrase just made.
    virtual const CRole* chooseRole(const CRole* pPreselected, bool bNewLine) = 0;
    // "EnableAutoCloseReacs": a reaction gets its closing sign at once.
    virtual bool autoCloseReactions() = 0;
    // The short sound of a refused command.
    virtual void click() = 0;
    // Shows a context menu at a point of the screen.
    virtual void showContextMenu(EMenu eMenu, const QPoint& globalPos) = 0;
};

// One step of the document's history for the length of a scope.
class CEditChange {
public:
    CEditChange(IBandEditHost& host, const QString& strLabel, int nMergeId = 0) : m_host(host) {
        m_host.beginChange(strLabel, nMergeId);
    }
    ~CEditChange() { m_host.endChange(); }
    CEditChange(const CEditChange&) = delete;
    CEditChange& operator=(const CEditChange&) = delete;

private:
    IBandEditHost& m_host;
};
