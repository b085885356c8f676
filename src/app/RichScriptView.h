#pragma once

#include "app/ElementRanges.h"
#include "app/ScriptTextStyle.h"
#include "base/TraceLog.h"
#include "vare/TimeCode.h"

#include <QPlainTextEdit>
#include <QTimer>

class CElement;
class CSettingsStore;
class CVarE;

// What the script text view asks of the program around it: the clock, the band's active track, the
// follow flag, and the band's edit mode and keyboard.
class IScriptViewHost {
public:
    virtual ~IScriptViewHost() = default;
    virtual CTimeCode getTimeCode() = 0;
    virtual void gotoTime(const CTimeCode& tc) = 0;
    virtual bool isFollowing() const = 0;
    virtual void setFollowing(bool b) = 0;
    virtual int getActiveTrack() const = 0;
    virtual void setActiveTrack(int nTrack) = 0;
    virtual void enterEditMode() = 0;
    virtual void leaveEditMode() = 0;
    virtual void focusBand() = 0;
};

// The whole script as read-only formatted text, in time order: every phrase with its timecode, role
// and text, every loop as a heading. It follows the document's update hints element by element (the
// whole text is written again only for NEW_DOC), highlights the element being spoken on the band's
// track, keeps it in sight while the follow flag is set, and takes the transport to an element
// clicked. It never changes the script and never takes the keyboard.
//
// The text lives in a QPlainTextEdit's document, one block per element (CElementRanges), so that Qt
// lays out only what is shown and a change near the start of a long script costs no more than one
// near the end.
//
// GUI thread only.
class CRichScriptView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int TIMER_PERIOD_MS = 100;
    // How long after a change of the script the pane is drawn again.
    static constexpr int REDRAW_DELAY_MS = 40;

    explicit CRichScriptView(QWidget* pParent = nullptr);
    ~CRichScriptView() override;

    void setLog(CTraceLog* pLog);
    void setSettings(const CSettingsStore* pSettings) { m_pSettings = pSettings; }
    void setHost(IScriptViewHost* pHost) { m_pHost = pHost; }

    // Takes the document's script and starts following the clock.
    void OnInitialUpdate(const CVarE* pScript);
    void OnUpdate(int nHint, const void* pObject);

    // The changes of the text, one element each.
    void appendElem(const CElement* pElement);
    void insertElem(const CElement* pElement, int nPos);
    void deleteElem(const CElement* pElement);
    void updateElem(const CElement* pElement);
    // The element moved in time: its text goes where it now belongs.
    void replaceElem(const CElement* pElement);

    // The follow timer's step: background for the theme, current element, scrolling.
    void OnTimer();

    const CElement* currentElement() const { return m_pCurrent; }
    const CElementRanges& ranges() const { return m_ranges; }
    const CScriptTextStyle& style() const { return m_style; }
    QColor backgroundColor() const;
    bool isFollowTimerActive() const { return m_timer.isActive(); }

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    class CRedrawOff;
    CTraceLog& log() { return *m_pLog; }
    void onNewDoc();
    void onUpdateRole(const void* pRole);
    // The element that follows in the script's time order and is shown, null when none.
    const CElement* shownFollower(const CElement& element) const;
    const CElement* followerOf(const CElement& element) const;
    // What an element's text is written from, beyond its time: a loop's number, a phrase's role.
    static quintptr stampOf(const CElement& element);
    CElementRanges::Writer writer(const CElement& element) const;
    bool problem(const char* pszOperation, const CElement* pElement);
    void applyTheme();
    void refreshCurrent();
    void scrollToElement(const CElement* pElement);
    // Texts written from what a change of the script made stale after its hint: the loops' numbers
    // (a loop deleted renumbers the later ones once it is gone) and the roles (a role deleted).
    void refreshStaleTexts(bool bRoles);
    void scheduleStaleCheck(bool bRoles);

    CElementRanges m_ranges;
    CScriptTextStyle m_style;
    CTraceLog* m_pLog;
    const CSettingsStore* m_pSettings = nullptr;
    IScriptViewHost* m_pHost = nullptr;
    const CVarE* m_pScript = nullptr;
    const CElement* m_pCurrent = nullptr; // always one of the shown elements
    QTimer m_timer;
    QTimer m_redrawTimer;
    int m_nRedrawOff = 0;
    int m_nWheelRest = 0; // wheel turns smaller than a line, kept for the next ones
    bool m_bThemeSet = false;
    bool m_bStaleCheckPending = false;
    bool m_bRolesStale = false;
};
