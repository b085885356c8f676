#include "app/VarEDoc.h"

#include "app/BookmarkList.h"
#include "app/Commands.h"
#include "app/RecentFiles.h"
#include "app/SyncApp.h"
#include "app/WaitCursor.h"
#include "base/SystemError.h"
#include "vare/Dapt.h"
#include "vare/ScriptFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {
const char* const VARE_FILTER = "Fichier VarE (*.vare *.det);;Tous les fichiers (*)";
const char* const VARE_SAVE_FILTER = "Fichier VarE (*.vare);;Tous les fichiers (*)";

QString untitled() {
    return QStringLiteral("Sans titre");
}

// The script changes, but not as the user's work: the journal does not see it (a media path written the
// way the file's new folder sees it).
class CUnrecorded {
public:
    CUnrecorded(CVarE& script, CScriptJournal& journal) : m_script(script), m_journal(journal) {
        m_script.removeObserver(&m_journal);
    }
    ~CUnrecorded() { m_script.addObserver(&m_journal); }
    CUnrecorded(const CUnrecorded&) = delete;
    CUnrecorded& operator=(const CUnrecorded&) = delete;

private:
    CVarE& m_script;
    CScriptJournal& m_journal;
};
} // namespace

// While a step is undone or redone, every change of the script reaches the views as the hint that
// describes it (the commands send their own hints otherwise).
class CVarEDoc::CReplayHints : public IScriptObserver {
public:
    explicit CReplayHints(CVarEDoc& doc) : m_doc(doc) {}
    void headerChanged(const CVarE&, CVarE::EHeader, const QString&) override { all(); }
    void timeStampChanged(const CVarE&, const CTimeCode&) override { all(); }
    void frameRateChanged(const CVarE&, int, bool) override { all(); }
    void shifted(const CVarE&, int) override { all(); }
    void lineAdded(const CVarE&, CVarE::LineIterator it) override { tell(NEW_ITEM, &*it); }
    void lineErasing(const CVarE&, CVarE::LineIterator it) override { tell(DELETE_ITEM, &*it); }
    void lineReplaced(const CVarE&, const CLine&, CVarE::LineIterator it) override {
        tell(REPLACE_LINE, &*it);
    }
    void loopAdded(const CVarE&, CVarE::LoopIterator it) override { tell(NEW_ITEM, &*it); }
    void loopErasing(const CVarE&, CVarE::LoopIterator it) override { tell(DELETE_ITEM, &*it); }
    void loopMoved(const CVarE&, const CTimeCode&, CVarE::LoopIterator) override { all(); }
    void loopsRenumbered(const CVarE&, CVarE::LoopIterator, const std::vector<int>&) override { all(); }
    void shotAdded(const CVarE&, CVarE::ShotIterator) override { tell(NOTHING, nullptr); }
    void shotErasing(const CVarE&, CVarE::ShotIterator) override { tell(NOTHING, nullptr); }
    void shotMoved(const CVarE&, const CTimeCode&, CVarE::ShotIterator) override { tell(NOTHING, nullptr); }
    void roleAdded(const CVarE&, CVarE::RoleIterator it) override { tell(UPDATE_ROLE, &*it); }
    void roleErasing(const CVarE&, CVarE::RoleIterator, const std::vector<CVarE::LineIterator>&) override {
        tell(UPDATE_ROLE, nullptr);
    }
    void roleRenamed(const CVarE&, const QString&, CVarE::RoleIterator it) override {
        tell(UPDATE_ROLE, &*it);
    }
    void roleChanged(const CVarE&, const CRole&, CVarE::RoleIterator it) override { tell(UPDATE_ROLE, &*it); }

private:
    void tell(int nHint, const void* pObject) { m_doc.UpdateAllViews(nullptr, nHint, pObject); }
    void all() { tell(NEW_DOC, nullptr); }
    CVarEDoc& m_doc;
};

CScriptChange::CScriptChange(CVarEDoc& doc, const QString& strLabel, int nMergeId) : m_doc(doc) {
    m_doc.beginChange(strLabel, nMergeId);
}

CScriptChange::~CScriptChange() {
    m_doc.endChange();
}

CVarEDoc::CVarEDoc(IAppServices& app, CBookmarkList& bookmarks, CRecentFiles& recent, QObject* pParent)
    : QObject(pParent), m_app(app), m_bookmarks(bookmarks), m_recent(recent),
      m_pReplayHints(std::make_unique<CReplayHints>(*this)), m_strTitle(untitled()), m_autoSave(app.log()) {
    connect(&m_bookmarks, &CBookmarkList::changed, this, &CVarEDoc::onBookmarksChanged);
    connect(&m_autoSave, &CAutoSave::saved, this, &CVarEDoc::onAutoSaved);
    m_script.addObserver(&m_journal);
}

CVarEDoc::~CVarEDoc() {
    m_script.removeObserver(&m_journal);
}

void CVarEDoc::beginChange(const QString& strLabel, int nMergeId) {
    m_journal.beginStep(strLabel, nMergeId);
}

void CVarEDoc::endChange() {
    // A step that changed something leaves the document modified (unless it undid back to the saved
    // state, which only undo does).
    if (m_journal.endStep()) SetModifiedFlag(!m_journal.isClean());
}

bool CVarEDoc::undo() {
    return replay(true);
}

bool CVarEDoc::redo() {
    return replay(false);
}

bool CVarEDoc::replay(bool bUndo) {
    if (bUndo ? !m_journal.canUndo() : !m_journal.canRedo()) {
        Click::play();
        return false;
    }
    emit aboutToReplay();
    m_script.addObserver(m_pReplayHints.get());
    const bool bOk = bUndo ? m_journal.undo(m_script) : m_journal.redo(m_script);
    m_script.removeObserver(m_pReplayHints.get());
    if (!bOk) {
        // The script no longer held what the step changed: everything is read again.
        UpdateAllViews(nullptr, NEW_DOC);
        Click::play();
    }
    SetModifiedFlag(!m_journal.isClean());
    return bOk;
}

void CVarEDoc::forgetHistory() {
    m_journal.clear();
    // What the file holds is clean unless the script already differs from it (read from a backup).
    if (m_bModified)
        m_journal.markNeverClean();
    else
        m_journal.markClean();
}

const CRole* CVarEDoc::addRole(const CRole& role) {
    CScriptChange change(*this, QString::fromUtf8("Nouveau rôle"));
    const auto [it, bAdded] = m_script.addRole(role);
    if (!bAdded) return nullptr;
    UpdateAllViews(nullptr, UPDATE_ROLE, &*it);
    return &*it;
}

const CRole* CVarEDoc::changeRole(const CRole* pRole, const CRole& value) {
    const auto it = m_script.findRoleByName(pRole->getName());
    if (it == m_script.getRoles().end()) return nullptr;
    CScriptChange change(*this, QString::fromUtf8("Modification du rôle"));
    if (value.getName() != it->getName() && !m_script.renameRole(it, value.getName())) return nullptr;
    const auto itNow = m_script.findRoleByName(value.getName());
    m_script.updateRole(itNow, [&](CRole& r) {
        r.setGender(value.getGender());
        r.setColor(value.getColor());
        r.setDescription(value.getDescription());
        r.setImage(value.getImage());
    });
    UpdateAllViews(nullptr, UPDATE_ROLE, &*itNow);
    return &*itNow;
}

bool CVarEDoc::deleteRole(const CRole* pRole) {
    const auto it = m_script.findRoleByName(pRole->getName());
    if (it == m_script.getRoles().end()) return false;
    CScriptChange change(*this, QString::fromUtf8("Suppression du rôle"));
    m_script.deleteRole(it);
    UpdateAllViews(nullptr, UPDATE_ROLE, nullptr);
    return true;
}

int CVarEDoc::countLinesOfRole(const CRole* pRole) const {
    int n = 0;
    for (const CLine& line : m_script.getLines())
        n += line.getRolePtr() == pRole;
    return n;
}

void CVarEDoc::setViewState(std::function<CTimeCode()> position, std::function<int()> track) {
    m_position = std::move(position);
    m_track = std::move(track);
}

void CVarEDoc::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_NEW, [this] { newDocument(); });
    c.bind(Cmd::FILE_OPEN, [this] { OnFileOpen(); });
    c.bind(Cmd::FILE_OPEN_BACKUP, [this] { OnFileOpenBackup(); });
    c.bind(Cmd::FILE_SAVE, [this] { DoFileSave(); });
    c.bind(Cmd::FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    c.bind(Cmd::FILE_SAVE_COPY, [this] { OnFileSaveCopy(); });
}

void CVarEDoc::SetPathName(const QString& strPath) {
    m_strPathName = strPath.isEmpty() ? QString() : QFileInfo(strPath).absoluteFilePath();
    SetTitle(strPath.isEmpty() ? untitled() : QFileInfo(strPath).fileName());
}

void CVarEDoc::SetTitle(const QString& strTitle) {
    m_strTitle = strTitle;
    emit titleChanged();
}

void CVarEDoc::SetModifiedFlag(bool bModified) {
    m_app.log().LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::SetModifiedFlag(%i)\n", bModified ? 1 : 0);
    const bool bChanged = m_bModified != bModified;
    m_bModified = bModified;
    if (bChanged) emit modifiedChanged(bModified);
}

void CVarEDoc::UpdateAllViews(void* pSender, int nHint, const void* pObject) {
    CTraceLog& log = m_app.log();
    log.LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::UpdateAllViews(%p, %i, %p)\n", pSender, nHint, pObject);
    {
        CLogIndent indent(log);
        emit updated(nHint, pObject);
    }
    log.LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::UpdateAllViews() => Ok\n");
}

void CVarEDoc::onBookmarksChanged() {
    // Bookmarks are saved with the script: marking or removing one is a change to save.
    if (!m_bOwnBookmarkChange) SetModifiedFlag(true);
}

void CVarEDoc::openScriptLog(CVarE& script) {
    script.log().Open(m_app.settings().get(Settings::VarELogType),
                      m_app.settings().get(Settings::VarELogLevel), m_app.logFolder(),
                      QStringLiteral("vare"));
}

bool CVarEDoc::OnNewDocument() {
    CTraceLog& log = m_app.log();
    log.Log("CVarEDoc::OnNewDocument()\n");
    CLogIndent indent(log);
    openScriptLog(m_script);
    forgetUntitledBackups();
    m_script.clear();
    m_bOwnBookmarkChange = true;
    m_bookmarks.clear();
    m_bOwnBookmarkChange = false;
    SetPathName({});
    SetModifiedFlag(false);
    forgetHistory();
    UpdateAllViews(nullptr, NEW_DOC);
    emit created();
    indent.release();
    log.Log("CVarEDoc::OnNewDocument() => Ok\n");
    return true;
}

bool CVarEDoc::OnOpenDocument(const QString& strPath, EScriptFormat eFormat) {
    CTraceLog& log = m_app.log();
    IPrompts& prompts = m_app.prompts();
    log.Log("CVarEDoc::OnOpenDocument(%s)\n", qUtf8Printable(strPath));
    CLogIndent indent(log);
    auto failed = [&] {
        indent.release();
        log.Log("CVarEDoc::OnOpenDocument(%s) => Failed\n", qUtf8Printable(strPath));
        return false;
    };

    const QFileInfo fi(strPath);
    if (fi.isFile() && fi.isReadable() && !fi.isWritable()) {
        if (prompts.message(
                QStringLiteral("Le fichier est protégé en écriture. Voulez-vous tout de même l'ouvrir ?"),
                IPrompts::ICON_QUESTION, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
            return failed();
    }

    QString strRead = strPath;
    bool bBackup = false;
    QString strBackup;
    const QDateTime newest = CAutoSave::newestBackupTime(m_app.autoSaveFolder(), strPath, &strBackup);
    if (newest.isValid() && fi.exists() && newest > fi.lastModified()) {
        log.Log("Sauvegarde plus récente : %s\n", qUtf8Printable(strBackup));
        if (prompts.yesNo(QStringLiteral("Un fichier plus récent a été enregistré automatiquement lors d'une "
                                         "précédente session.\nVoulez-vous l'ouvrir ?"))) {
            strRead = strBackup;
            bBackup = true;
        }
    }

    bool bRenumbered = false;
    // A newer backup is a VarE file whatever the format asked for the original.
    if (!readIntoDocument(strRead, strPath, bRenumbered, bBackup ? EScriptFormat::UNKNOWN : eFormat))
        return failed();
    forgetUntitledBackups();
    SetPathName(strPath);
    SetModifiedFlag(bBackup || bRenumbered);
    UpdateAllViews(nullptr, NEW_DOC);
    emit opened();

    indent.release();
    log.Log("CVarEDoc::OnOpenDocument(%s) => Ok\n", qUtf8Printable(strPath));
    return true;
}

bool CVarEDoc::readIntoDocument(const QString& strRead, const QString& strShown, bool& bRenumbered,
                                EScriptFormat eFormat) {
    // The file is read into a script of its own: the open one stays whole until the new one is complete.
    CVarE loaded;
    openScriptLog(loaded);
    CBookmarkArray marks;
    QString strError;
    QStringList changes;
    m_app.log().Log("Ouverture du fichier '%s'\n", qUtf8Printable(strRead));
    bool bRead;
    {
        CWaitCursor wait;
        bRead = readScriptFile(
            strRead, eFormat == EScriptFormat::UNKNOWN ? scriptFormatOf(strRead, true) : eFormat, loaded,
            &marks, &strError, &changes, m_app.settings().get(Settings::DaptLanguage));
    }
    if (!bRead) {
        m_app.prompts().error(
            QStringLiteral("Impossible d'ouvrir le fichier %1 : %2.").arg(strShown, strError));
        return false;
    }
    if (!changes.isEmpty()) {
        // The whole list is in the script's log; the message keeps to what a box can show.
        constexpr int SHOWN = 15;
        QStringList shown = changes.mid(0, SHOWN);
        if (changes.size() > SHOWN) shown << QStringLiteral("… et %1 autre(s).").arg(changes.size() - SHOWN);
        m_app.prompts().message(QStringLiteral("Le fichier %1 a été lu avec des changements :\n\n%2")
                                    .arg(strShown, shown.join(QLatin1Char('\n'))),
                                IPrompts::ICON_EXCLAMATION);
    }
    bRenumbered = false;
    if (!loaded.getLoops().empty() && loaded.loopsNumberedFromZero()) {
        loaded.renumberLoops(loaded.getLoops().begin(), 1);
        bRenumbered = true;
    }
    openScriptLog(m_script);
    m_script.swap(loaded);
    m_bOwnBookmarkChange = true;
    m_bookmarks.clear();
    for (const auto& [tc, strLabel] : marks.m_items)
        m_bookmarks.add(tc, strLabel);
    m_bOwnBookmarkChange = false;
    return true;
}

bool CVarEDoc::openDocumentFile(const QString& strPath) {
    if (!OnOpenDocument(strPath)) {
        m_recent.remove(QFileInfo(strPath).absoluteFilePath());
        return false;
    }
    if (scriptFormatOf(strPath, true) == EScriptFormat::DET) {
        // A legacy detection is saved as a new VarE file.
        const QString strTitle = m_strTitle.left(m_strTitle.size() - 4);
        m_strPathName.clear();
        SetTitle(strTitle);
        SetModifiedFlag(true);
    } else {
        m_recent.add(strPath);
    }
    return true;
}

bool CVarEDoc::importDocumentFile(const QString& strPath, EScriptFormat eFormat) {
    if (!OnOpenDocument(strPath, eFormat)) return false;
    m_strPathName.clear();
    SetTitle(QFileInfo(strPath).completeBaseName());
    SetModifiedFlag(true);
    return true;
}

bool CVarEDoc::newDocument() {
    if (!SaveModified()) return false;
    return OnNewDocument();
}

bool CVarEDoc::OnFileOpen() {
    if (!SaveModified()) return false;
    const QString strPath = m_app.prompts().getOpenFileName(
        QStringLiteral("Ouvrir"), m_app.settings().get(Settings::VarEPath), QString::fromUtf8(VARE_FILTER));
    if (strPath.isEmpty()) return false;
    m_app.settings().set(Settings::VarEPath, QFileInfo(strPath).absolutePath());
    return openDocumentFile(strPath);
}

void CVarEDoc::recordViewState() {
    if (m_position) m_script.setLastPosition(m_position());
    if (m_track) m_script.setLastTrack(m_track());
}

bool CVarEDoc::OnSaveDocument(const QString& strPath) {
    m_app.log().Log("CVarEDoc::OnSaveDocument(%s)\n", qUtf8Printable(strPath));
    const QFileInfo fi(strPath);
    if (fi.exists() && !fi.isWritable()) {
        m_app.prompts().error(
            QStringLiteral("Le fichier est en lecture seule. Il ne peut pas être sauvegardé."));
        return false;
    }
    recordViewState();
    if (!storeScript(strPath)) return false;
    m_app.settings().set(Settings::VarEPath, QFileInfo(strPath).absolutePath());
    return true;
}

QString CVarEDoc::mediaPathFor(const QString& strStored, const QString& strScriptPath) const {
    // A path relative to the script stays relative to the script's new place when the file sits beside
    // or below it, so that a project folder can be moved; otherwise it becomes absolute.
    if (strStored.isEmpty() || !QFileInfo(strStored).isRelative()) return strStored;
    const QFileInfo media(resolveMediaPath(strStored));
    if (!media.isAbsolute()) return strStored;
    const QString strRelative =
        QFileInfo(strScriptPath).absoluteDir().relativeFilePath(media.absoluteFilePath());
    return strRelative.startsWith(QLatin1String("../")) ? media.absoluteFilePath() : strRelative;
}

bool CVarEDoc::storeScript(const QString& strPath) {
    // The media paths are written as seen from the file's folder; the script keeps its own until it
    // takes the new name.
    const CVarE::EHeader media[] = {CVarE::H_VIDEO_FILE, CVarE::H_AUDIO_FILE};
    QString kept[2];
    bool bOk;
    {
        CUnrecorded unrecorded(m_script, m_journal);
        for (int i = 0; i < 2; ++i) {
            kept[i] = m_script.get(media[i]);
            m_script.set(media[i], mediaPathFor(kept[i], strPath));
        }
        {
            CWaitCursor wait;
            bOk = m_script.store(strPath, &m_bookmarks);
        }
        for (int i = 0; i < 2; ++i)
            m_script.set(media[i], kept[i]);
    }
    if (!bOk) m_app.prompts().error(QStringLiteral("Impossible d'enregistrer le fichier %1").arg(strPath));
    return bOk;
}

bool CVarEDoc::DoSave(const QString& strPath, bool bReplace) {
    QString strTarget = strPath;
    if (strTarget.isEmpty()) {
        QString strProposed = m_strTitle;
        if (!strProposed.endsWith(QLatin1String(".vare"))) strProposed += QStringLiteral(".vare");
        const QString strFolder = m_strPathName.isEmpty() ? m_app.settings().get(Settings::VarEPath)
                                                          : QFileInfo(m_strPathName).absolutePath();
        if (!strFolder.isEmpty()) strProposed = QDir(strFolder).filePath(strProposed);
        strTarget =
            m_app.prompts().getSaveFileName(QStringLiteral("Enregistrer sous"), strProposed,
                                            QString::fromUtf8(VARE_SAVE_FILTER), QStringLiteral("vare"));
        if (strTarget.isEmpty()) return false;
    }
    if (!OnSaveDocument(strTarget)) return false;
    if (bReplace) {
        forgetUntitledBackups();
        m_journal.markClean();
        // The script now lives at the new place: its media paths as they were written there.
        CUnrecorded unrecorded(m_script, m_journal);
        for (CVarE::EHeader e : {CVarE::H_VIDEO_FILE, CVarE::H_AUDIO_FILE})
            m_script.set(e, mediaPathFor(m_script.get(e), strTarget));
        SetPathName(strTarget);
        m_recent.add(strTarget);
    }
    SetModifiedFlag(false);
    return true;
}

bool CVarEDoc::DoFileSave() {
    if (m_strPathName.isEmpty()) return DoSave({});
    const QFileInfo fi(m_strPathName);
    // A read-only file: the message, then a new name.
    if (fi.exists() && !fi.isWritable()) {
        m_app.prompts().error(
            QStringLiteral("Le fichier est en lecture seule. Il ne peut pas être sauvegardé."));
        return DoSave({});
    }
    return DoSave(m_strPathName);
}

bool CVarEDoc::OnFileSaveCopy() {
    m_app.log().Log("CVarEDoc::OnFileSaveCopy()\n");
    recordViewState();
    const bool bPrefix = m_app.settings().get(Settings::PrefixSaveCopyAs) != 0;
    QString strProposed = (bPrefix ? QStringLiteral("Copie de ") : QString()) + m_strTitle;
    const QString strFolder = m_app.settings().get(Settings::VarECopyPath);
    if (!strFolder.isEmpty()) strProposed = QDir(strFolder).filePath(strProposed);
    const QString strPath =
        m_app.prompts().getSaveFileName(QStringLiteral("Enregistrer une copie sous"), strProposed,
                                        QStringLiteral("Fichier VarE (*.vare)"), QStringLiteral("vare"));
    if (strPath.isEmpty()) return false;
    if (!storeScript(strPath)) return false;
    m_app.settings().set(Settings::VarECopyPath, QFileInfo(strPath).absolutePath());
    return true;
}

void CVarEDoc::OnFileOpenBackup() {
    IPrompts& prompts = m_app.prompts();
    const QString strBackup = prompts.getOpenFileName(
        QStringLiteral("Ouvrir une sauvegarde"), m_app.autoSaveFolder(),
        QStringLiteral("Fichiers de sauvegarde automatique (*.bak);;Tous les fichiers (*)"));
    if (strBackup.isEmpty()) return;
    const QString strTarget = prompts.getSaveFileName(
        QStringLiteral("Enregistrer sous"),
        QDir(m_app.dataFolder()).filePath(CAutoSave::scriptNameOf(strBackup) + QStringLiteral(".vare")),
        QStringLiteral("Fichiers VarE (*.vare);;Tous les fichiers (*)"), QStringLiteral("vare"));
    if (strTarget.isEmpty()) return;
    if (!SaveModified()) return;
    if (QFileInfo(strTarget).absoluteFilePath() == QFileInfo(strBackup).absoluteFilePath()) {
        if (!prompts.yesNo(QStringLiteral("Ce fichier existe déjà. Êtes-vous sûr de vouloir l'écraser ?"),
                           IPrompts::ICON_EXCLAMATION, QMessageBox::No))
            return;
        // The backup itself is the target: nothing to copy.
    } else {
        // The copy replaces the target in one step: until then the existing file stays whole.
        QFile source(strBackup);
        QSaveFile target(strTarget);
        bool bOk = source.open(QIODevice::ReadOnly) && openForSaving(target);
        while (bOk && !source.atEnd()) {
            const QByteArray chunk = source.read(1 << 20);
            bOk = !chunk.isEmpty() && target.write(chunk) == chunk.size();
        }
        if (!bOk || !target.commit()) {
            prompts.error(QStringLiteral("Impossible d'enregistrer le fichier %1").arg(strTarget));
            return;
        }
    }
    openDocumentFile(strTarget);
}

bool CVarEDoc::SaveModified() {
    if (!m_bModified) return true;
    const QMessageBox::StandardButton b = m_app.prompts().message(
        QStringLiteral("Enregistrer les modifications apportées à %1 ?").arg(m_strTitle),
        IPrompts::ICON_EXCLAMATION, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
        QMessageBox::Yes);
    if (b == QMessageBox::Cancel) return false;
    if (b == QMessageBox::No) return true;
    return DoFileSave();
}

void CVarEDoc::OnCloseDocument() {
    CTraceLog& log = m_app.log();
    log.Log("CVarEDoc::OnCloseDocument()\n");
    m_autoSave.waitForAll();
    // Closing is the user's choice (saved or given up): nothing to offer at the next start.
    forgetUntitledBackups();
    m_script.clear();
    log.Log("calling CDocument::OnCloseDocument()\n");
    log.Log("CVarEDoc::OnCloseDocument() => Ok\n");
}

QString CVarEDoc::resolveMediaPath(const QString& strPath) const {
    if (strPath.isEmpty()) return {};
    const QString strFolder = m_strPathName.isEmpty() ? QString() : QFileInfo(m_strPathName).absolutePath();
    QFileInfo fi(strPath);
    if (fi.isRelative() && !strFolder.isEmpty()) fi = QFileInfo(QDir(strFolder).filePath(strPath));
    if (fi.exists()) return fi.absoluteFilePath();
    // A path written on another system ("C:\..."): the same name beside the script.
    const QString strName = strPath.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    if (!strFolder.isEmpty() && QFileInfo::exists(QDir(strFolder).filePath(strName)))
        return QDir(strFolder).filePath(strName);
    return strPath;
}

void CVarEDoc::adoptVideoFile(const QString& strPath) {
    const QString strKept = m_script.get(CVarE::H_VIDEO_FILE);
    if (resolveMediaPath(strKept) == QFileInfo(strPath).absoluteFilePath() || strKept == strPath) return;
    m_script.setVideoFile(strPath);
    SetModifiedFlag(true);
}

void CVarEDoc::adoptAudioFile(const QString& strPath) {
    const QString strKept = m_script.get(CVarE::H_AUDIO_FILE);
    if (strKept == strPath || resolveMediaPath(strKept) == strPath) return;
    m_script.set(CVarE::H_AUDIO_FILE, strPath);
    SetModifiedFlag(true);
}

void CVarEDoc::adoptTimeStamp(const CTimeCode& tc) {
    if (m_script.getTimeStamp() == tc) return;
    m_script.setTimeStamp(tc);
    SetModifiedFlag(true);
}

void CVarEDoc::changeTimeStamp(const CTimeCode& tc) {
    m_script.setTimeStamp(tc);
    SetModifiedFlag(true);
}

QString CVarEDoc::autoSave() {
    if (!m_bModified) return {};
    const bool bUntitled = m_strPathName.isEmpty();
    if (bUntitled && m_strUntitledFolder.isEmpty())
        m_strUntitledFolder = CAutoSave::untitledFolder(m_app.autoSaveFolder(), m_strTitle);
    const QString strFolder =
        bUntitled ? m_strUntitledFolder : CAutoSave::backupFolder(m_app.autoSaveFolder(), m_strPathName);
    return m_autoSave.save(m_script, m_bookmarks, m_position ? m_position() : TC_INVALID, strFolder,
                           m_strTitle, bUntitled);
}

void CVarEDoc::onAutoSaved(const QString& strPath, bool bOk, const QString& strReason) {
    if (bOk) {
        if (m_bAutoSaveFailing) {
            m_bAutoSaveFailing = false;
            emit autoSaveRecovered();
        }
        return;
    }
    const QString strWhy = strReason.isEmpty() ? QStringLiteral("erreur inconnue") : strReason;
    emit autoSaveFailed(QStringLiteral("Échec de l'enregistrement automatique : %1").arg(strWhy));
    // One message per run of failures; the status bar says it until a backup is written again.
    if (m_bAutoSaveFailing) return;
    m_bAutoSaveFailing = true;
    m_app.prompts().error(
        QStringLiteral("L'enregistrement automatique dans le fichier %1 a échoué : %2.\n"
                       "Il sera tenté de nouveau ; enregistrez le script pour ne rien perdre.")
            .arg(strPath, strWhy));
}

void CVarEDoc::forgetUntitledBackups() {
    CAutoSave::forgetUntitled(m_strUntitledFolder);
    m_strUntitledFolder.clear();
}

bool CVarEDoc::offerUntitledBackup() {
    const std::vector<CAutoSave::SUntitled> found = CAutoSave::untitledBackups(m_app.autoSaveFolder());
    if (found.empty()) return false;
    const CAutoSave::SUntitled& newest = found.front();
    m_app.log().Log("CVarEDoc::offerUntitledBackup(%s)\n", qUtf8Printable(newest.strBackup));
    if (!m_app.prompts().yesNo(
            QStringLiteral("Le script « %1 », jamais enregistré, a été sauvegardé automatiquement lors d'une "
                           "précédente session.\nVoulez-vous l'ouvrir ?")
                .arg(newest.strTitle))) {
        CAutoSave::forgetUntitled(newest.strFolder);
        return false;
    }
    bool bRenumbered = false;
    if (!readIntoDocument(newest.strBackup, newest.strBackup, bRenumbered)) {
        CAutoSave::forgetUntitled(newest.strFolder);
        return false;
    }
    forgetUntitledBackups();
    // Still without a file: its next backups go on in the same folder.
    m_strPathName.clear();
    m_strUntitledFolder = newest.strFolder;
    SetTitle(newest.strTitle);
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, NEW_DOC);
    emit opened();
    return true;
}
