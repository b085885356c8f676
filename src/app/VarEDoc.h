#pragma once

#include "app/AutoSave.h"
#include "base/UpdateHint.h"
#include "vare/ScriptFile.h"
#include "vare/ScriptJournal.h"
#include "vare/VarE.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class CBookmarkList;
class CCommandTable;
class CRecentFiles;
class IAppServices;

class CVarEDoc;

// One undoable step for the length of a scope.
class CScriptChange {
public:
    CScriptChange(CVarEDoc& doc, const QString& strLabel, int nMergeId = 0);
    ~CScriptChange();
    CScriptChange(const CScriptChange&) = delete;
    CScriptChange& operator=(const CScriptChange&) = delete;

private:
    CVarEDoc& m_doc;
};

// The one document: the script being edited, its file, its modified flag and its backups. New and
// open refill the same object. Every change of the script is announced to the views by updated()
// with a hint (EUpdateHint); views re-read the script after each one. The document never drives the
// clock or the player: it says created() or opened() and the application attaches the media.
//
// GUI thread only (the auto-save thread works on its own copy of the script).
class CVarEDoc : public QObject {
    Q_OBJECT
public:
    CVarEDoc(IAppServices& app, CBookmarkList& bookmarks, CRecentFiles& recent, QObject* pParent = nullptr);
    ~CVarEDoc() override;

    // What a save records beside the script: the position of the clock and the active track.
    void setViewState(std::function<CTimeCode()> position, std::function<int()> track);
    void bindCommands(CCommandTable& commands);

    CVarE& script() { return m_script; }
    const CVarE& script() const { return m_script; }

    const QString& GetPathName() const { return m_strPathName; }
    const QString& GetTitle() const { return m_strTitle; }
    void SetPathName(const QString& strPath);
    void SetTitle(const QString& strTitle);
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true);

    bool OnNewDocument();
    // Reads the file into a new script; on failure the script that was open stays, untouched.
    // eFormat UNKNOWN: the format the file's name says.
    bool OnOpenDocument(const QString& strPath, EScriptFormat eFormat = EScriptFormat::UNKNOWN);
    bool OnSaveDocument(const QString& strPath);
    void OnCloseDocument();
    void UpdateAllViews(void* pSender, int nHint, const void* pObject = nullptr);

    // What the file commands do around the operations above: ask about unsaved changes, show the file
    // dialogs, keep the recent list.
    bool newDocument();
    bool openDocumentFile(const QString& strPath); // no dialog
    // A script made from a file of another format: a new script, saved under a VarE name of its own.
    bool importDocumentFile(const QString& strPath, EScriptFormat eFormat);
    bool OnFileOpen();
    bool DoFileSave();
    bool DoSave(const QString& strPath, bool bReplace = true);
    bool OnFileSaveAs() { return DoSave({}, true); }
    bool OnFileSaveCopy();
    void OnFileOpenBackup();
    // Asks whether to save a modified document; false when the user cancels (or the save fails).
    bool SaveModified();

    // The media that the application opened for the script: their paths and timestamp are kept in the
    // script (the document is marked modified when they change).
    void adoptVideoFile(const QString& strPath);
    void adoptAudioFile(const QString& strPath);
    void adoptTimeStamp(const CTimeCode& tc);
    void changeTimeStamp(const CTimeCode& tc);
    // Where a media path named by the script is found (relative paths are beside the script).
    QString resolveMediaPath(const QString& strPath) const;

    // --- the undo path. Every change of the script by the user is one step, made between beginChange()
    // and endChange() (a CScriptChange does both); "&Annuler" and "&Rétablir" take whole steps back and
    // forth, the views told of each change, and the modified flag follows: back at the step that was
    // saved, the document is unmodified.
    void beginChange(const QString& strLabel, int nMergeId = 0);
    void endChange();
    bool canUndo() const { return m_journal.canUndo(); }
    bool canRedo() const { return m_journal.canRedo(); }
    bool undo();
    bool redo();
    const CScriptJournal& journal() const { return m_journal; }
    // The history goes (a new or opened script, or media attached to it at opening).
    void forgetHistory();

    // --- roles, each change one step, announced with UPDATE_ROLE; null (nothing changed) when refused
    const CRole* addRole(const CRole& role);
    const CRole* changeRole(const CRole* pRole, const CRole& value);
    bool deleteRole(const CRole* pRole);
    int countLinesOfRole(const CRole* pRole) const;

    // Auto-save tick: an unmodified document is left alone; one without a file (new or imported) is
    // backed up under its title. Returns the backup file being written, empty when none. A failed
    // write is told (autoSaveFailed, and a message the first time) and tried again at the next tick.
    QString autoSave();
    // At start-up: offers the newest backup of a script without a file left by an earlier session;
    // true when it became the document.
    bool offerUntitledBackup();
    CAutoSave& autoSaver() { return m_autoSave; }

signals:
    void updated(int nHint, const void* pObject);
    void titleChanged();
    void modifiedChanged(bool bModified);
    // A new empty script, or a script read from a file, is now the document's.
    void created();
    void opened();
    // Undo or redo is about to change the script: views let go of the items they hold (edit mode).
    void aboutToReplay();
    // The last auto-save failed (text for the status bar), or succeeded again after failures.
    void autoSaveFailed(const QString& strText);
    void autoSaveRecovered();

private:
    void openScriptLog(CVarE& script);
    // Reads strRead into the document's script (the open one stays on failure, with a message naming
    // strShown). bRenumbered: the loops numbered from 0 were numbered from 1.
    bool readIntoDocument(const QString& strRead, const QString& strShown, bool& bRenumbered,
                          EScriptFormat eFormat = EScriptFormat::UNKNOWN);
    void onAutoSaved(const QString& strPath, bool bOk, const QString& strReason);
    // The backups of the script without a file are no longer needed at the next start.
    void forgetUntitledBackups();
    // How a media path stored in the script is written into a script file at strScriptPath.
    QString mediaPathFor(const QString& strStored, const QString& strScriptPath) const;
    // Stores the script with the wait cursor; a failure gets its message.
    bool storeScript(const QString& strPath);
    void recordViewState();
    void onBookmarksChanged();

    IAppServices& m_app;
    CBookmarkList& m_bookmarks;
    CRecentFiles& m_recent;
    std::function<CTimeCode()> m_position;
    std::function<int()> m_track;
    class CReplayHints;
    bool replay(bool bUndo);

    CVarE m_script;
    CScriptJournal m_journal;
    std::unique_ptr<CReplayHints> m_pReplayHints;
    QString m_strPathName;
    QString m_strTitle;
    bool m_bModified = false;
    // The document itself fills or empties the bookmark list (not a change by the user).
    bool m_bOwnBookmarkChange = false;
    CAutoSave m_autoSave;
    // Backup folder of the script while it has no file (made at its first backup).
    QString m_strUntitledFolder;
    bool m_bAutoSaveFailing = false;
};
