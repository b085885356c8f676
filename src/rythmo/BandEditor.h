#pragma once

#include "BandEditHost.h"
#include "BandRenderer.h"

#include <QString>
#include <functional>

class CTraceLog;

// The detection author's work on the band, without the window: the two modes (detection, where signs,
// loops, shot changes and reactions go in at the current time while the picture runs, and edit mode,
// where one phrase is open for typing with a caret and a selection), the keys of each, the phrase
// clipboard and the role of a phrase. The state the band draws (edit mode, selected phrase, caret,
// selection) lives in the renderer's view state; this class changes it and the script, every change
// of the script one step of the host's history.
//
// Refused commands play the host's click and change nothing. GUI thread only.
class CBandEditor {
public:
    CBandEditor(CBandRenderer& renderer, IBandEditHost& host);
    void setLog(CTraceLog* pLog);

    // Called after each change of what the band shows (the caret moved, a selection...).
    std::function<void()> m_redraw;
    // Shows a context menu at a point of the band (x, y in band space).
    std::function<void(IBandEditHost::EMenu, int x, int y)> m_contextMenu;

    bool isEditMode() const { return state().m_bEditMode; }
    bool isReactionHeld() const { return m_bReactionHeld; }
    // The phrase a command acts on: the edited (or right-clicked) one, else the one covering the
    // current time on the active track; end() when none.
    CVarE::LineIterator currentLine();
    const CLine& lineBackup() const { return m_lineBackup; }
    const CLine& lineClipboard() const { return m_lineClipboard; }
    int activeTrack() const;

    // --- the document
    void OnInitialUpdate();
    void OnUpdate(int nHint, const void* pObject);
    // Undo or redo is about to change the script: nothing held about it stays.
    void aboutToReplay();

    // --- commands
    void OnEditLine(); // Enter: into edit mode, or out of it validating the phrase
    void OnEditLineCancel();
    void OnEditLineDelete();
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    void OnEditSelectAll();
    void OnControlPlayPause();
    bool OnAddLipSync(int nType);
    void OnAddLoop();
    void OnAddShot();
    void OnEditRoles();
    void OnEditTrack(int nTrack);
    void OnNextTrack();
    void OnPreviousTrack();

    // --- keys and mouse. OnKeyDown reports whether the key was one of the view's own (no character
    // follows it then).
    bool OnKeyDown(int nKey, Qt::KeyboardModifiers modifiers);
    void OnChar(char32_t c, bool bRepeat = false);
    void OnKeyUp(int nKey, char32_t c, bool bRepeat = false);
    void OnLButtonDblClk();

    bool enterEditMode();
    // Edit mode on a given phrase (a click, a match found); bStop: the transport stops first.
    void editLine(CVarE::LineIterator it, bool bStop);
    void quitEditMode();

    // --- what the band's other commands share with the editor
    void log(const char* pszFormat, ...);
    void redraw();
    void select(CVarE::LineIterator it);
    void showCaret();
    void setCaret(int nCaret, bool bExtend);
    // The caret in sight: the transport follows it when it leaves the middle of the band.
    void keepCaretVisible();
    int frameAtX(int x) const;
    // The phrase commands act on the right-clicked phrase.
    bool isContextLine() const { return m_bContextLine; }
    void setContextLine(bool b) { m_bContextLine = b; }
    // A merge id of its own (a drag is one step of the history).
    int newMergeId() { return m_nNextSession++; }
    void showContextMenu(IBandEditHost::EMenu eMenu, int x, int y) {
        if (m_contextMenu) m_contextMenu(eMenu, x, y);
    }

    // The reaction a character types in detection mode; empty for none.
    static QString reactionText(char32_t c);
    // The shuttle speed a character runs in detection mode; 0 for none.
    static int shuttleSpeed(char32_t c);

private:
    CBandViewState& state() { return m_renderer.state(); }
    const CBandViewState& state() const { return m_renderer.state(); }
    CVarE& script() { return m_host.script(); }
    CVarE::LineIterator noLine() { return script().getLines().end(); }
    CTimeCode now();
    void click() { m_host.click(); }

    void clearSelection();
    void eraseLine(CVarE::LineIterator it);
    void forgetAll();

    // Changes the selected phrase; false when the script refused (the phrase is as it was).
    bool changeSelected(const std::function<void(CLine&)>& change);
    void deleteSelection();
    void typeText(const QString& str);
    // "²" (bBefore) and "&": the sign before (after) the caret's frame is hooked at the caret.
    void linkAtCaret(bool bBefore);
    void openContextMenu();

    bool addOpening(int nType, CTimeCode tc);
    bool addClosing(int nType, const CTimeCode& tc);
    bool addLipSign(int nType, const CTimeCode& tc);
    // Whether the phrase may end at tc: not past the next phrase of its track nor the next loop.
    bool mayEndAt(const CLine& line, const CTimeCode& tc);
    // A reaction's text grows with underscores (before its closing parenthesis) up to half its frames.
    static void growReaction(CLine& line, int nFrames, bool bOneOnly);
    // The copy of a phrase the clipboard keeps: sign times from its first sign.
    static CLine relativeCopy(const CLine& line);
    void copyLineToClipboard(const CLine& line);
    void keepBackup(const CLine& line);
    // The edited phrase as it was, with its role as the script has it now.
    CLine restoredBackup();

    void reactionPressed(char32_t c, const QString& strText);
    void reactionRepeated();
    void reactionReleased();

    CBandRenderer& m_renderer;
    IBandEditHost& m_host;
    CTraceLog* m_pLog = nullptr;
    CLine m_lineBackup; // the edited phrase as it was; no signs when edit mode made it
    QString m_strBackupRole;
    CLine m_lineClipboard; // the last phrase copied, its times from its first sign
    bool m_bReactionHeld = false;
    bool m_bContextLine = false;
    // Typing in one edit session, or one held reaction, is one step of the history.
    int m_nSession = 0;
    int m_nNextSession = 1;
    // The view's own changes tell it nothing it does not know.
    bool m_bChanging = false;
};
