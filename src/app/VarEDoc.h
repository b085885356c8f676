#pragma once

#include "app/AutoSave.h"
#include "base/UpdateHint.h"
#include "vare/VarE.h"

#include <QObject>
#include <QSemaphore>
#include <QString>

class CTavorinApp;

// The one document: the script being edited, its file, its modified flag, its media, its backups.
// New and open empty and refill the same object. Views connect to updated() and re-read the script
// after every hint (EUpdateHint).
class CVarEDoc : public QObject {
    Q_OBJECT
public:
    explicit CVarEDoc(CTavorinApp& app, QObject* pParent = nullptr);
    ~CVarEDoc() override;

    CVarE& script() { return m_script; }
    const CVarE& script() const { return m_script; }

    // --- the framework part: name, title, modified flag
    const QString& GetPathName() const { return m_strPathName; }
    const QString& GetTitle() const { return m_strTitle; }
    void SetPathName(const QString& strPath);
    void SetTitle(const QString& strTitle);
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true);

    // --- operations
    bool OnNewDocument();
    bool OnOpenDocument(const QString& strPath);
    bool OnSaveDocument(const QString& strPath);
    void OnCloseDocument();
    void UpdateAllViews(void* pSender, int nHint, const void* pObject = nullptr);

    // What the "&Nouveau", "&Ouvrir...", "&Enregistrer" and "Enregistrer &sous..." commands do around
    // the operations above: ask about unsaved changes, show the file dialogs, keep the recent list.
    bool newDocument();
    bool openDocumentFile(const QString& strPath); // no dialog
    bool OnFileOpen();
    bool DoFileSave();
    bool DoSave(const QString& strPath, bool bReplace = true);
    bool OnFileSaveAs() { return DoSave({}, true); }
    bool OnFileSaveCopy();
    // Asks whether to save a modified document; false when the user cancels (or the save fails).
    bool SaveModified();

    bool openVideoFile(const QString& strPath);
    bool openAudioFile(const QString& strPath);
    void OnFileVideo();
    void OnEditTimestamp();

    // Auto-save tick: a never-saved or unmodified document is left alone. Returns the backup file
    // being written, empty when none.
    QString autoSave();
    CAutoSave& autoSaver() { return m_autoSave; }

    // Where a media path named by the script is found (relative paths are beside the script).
    QString resolveMediaPath(const QString& strPath) const;

signals:
    void updated(int nHint, const void* pObject);
    void titleChanged();
    void modifiedChanged(bool bModified);

private:
    bool readScript(const QString& strPath);
    void showDefaultImage();
    void removeBookmarks();
    void storeFolder(const char* pszSection, const char* pszKey, const QString& strFile);
    bool searchSoundBeside(const QString& strVideo);

    CTavorinApp& m_app;
    CVarE m_script;
    QSemaphore m_lock{1};
    QString m_strPathName;
    QString m_strTitle;
    bool m_bModified = false;
    CAutoSave m_autoSave;
};
