#include "app/VarEDoc.h"

#include "app/Dialogs.h"
#include "app/TavorinApp.h"
#include "sync/WorkingCopyController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

namespace {
const char* VARE_FILTER = "Fichier VarE (*.vare *.det);;Tous les fichiers (*)";
const char* VARE_SAVE_FILTER = "Fichier VarE (*.vare);;Tous les fichiers (*)";
const char* VIDEO_FILTER = "Fichier vidéo (*.mov *.avi *.mpg *.mpeg *.mp4 *.dv);;Tous les fichiers (*)";
const char* const SOUND_EXTENSIONS[] = {".bwf", ".aif", ".aiff", ".wav", ".mp3"};

// Wait cursor for the length of a scope.
struct SWaitCursor {
    SWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~SWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QString untitled() {
    return QStringLiteral("Sans titre");
}
} // namespace

CVarEDoc::CVarEDoc(CTavorinApp& app, QObject* pParent)
    : QObject(pParent), m_app(app), m_strTitle(untitled()), m_autoSave(app) {}

CVarEDoc::~CVarEDoc() = default;

void CVarEDoc::SetPathName(const QString& strPath) {
    m_strPathName = strPath.isEmpty() ? QString() : QFileInfo(strPath).absoluteFilePath();
    SetTitle(strPath.isEmpty() ? untitled() : QFileInfo(strPath).fileName());
}

void CVarEDoc::SetTitle(const QString& strTitle) {
    m_strTitle = strTitle;
    emit titleChanged();
}

void CVarEDoc::SetModifiedFlag(bool bModified) {
    m_app.LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::SetModifiedFlag(%i)\n", bModified ? 1 : 0);
    const bool bChanged = m_bModified != bModified;
    m_bModified = bModified;
    if (bChanged) emit modifiedChanged(bModified);
}

void CVarEDoc::UpdateAllViews(void* pSender, int nHint, const void* pObject) {
    m_app.LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::UpdateAllViews(%p, %i, %p)\n", pSender, nHint, pObject);
    {
        CLogIndent indent(m_app);
        emit updated(nHint, pObject);
    }
    m_app.LogIf(CTraceLog::MASK_UPDATES, "CVarEDoc::UpdateAllViews() => Ok\n");
}

void CVarEDoc::showDefaultImage() {
    QString str = m_app.settings().get(Settings::DefaultImage);
    if (!str.contains(QLatin1Char('/')) && !str.contains(QLatin1Char('\\')))
        str = m_app.programFolder() + QLatin1Char('/') + str;
    m_app.showStillImage(str);
}

void CVarEDoc::removeBookmarks() {
    m_app.bookmarks().clear();
}

void CVarEDoc::storeFolder(const char* pszSection, const char* pszKey, const QString& strFile) {
    m_app.WriteProfileString(QString::fromLatin1(pszSection), QString::fromLatin1(pszKey),
                             QFileInfo(strFile).absolutePath());
}

bool CVarEDoc::OnNewDocument() {
    m_app.Log("CVarEDoc::OnNewDocument()\n");
    CLogIndent indent(m_app);
    m_script.log().Open(m_app.settings().get(Settings::VarELogType),
                        m_app.settings().get(Settings::VarELogLevel), m_app.logFolder(),
                        QStringLiteral("vare"));
    showDefaultImage();
    m_app.player().close();
    m_lock.acquire();
    m_script.clear();
    m_lock.release();
    SetPathName({});
    SetModifiedFlag(false);
    UpdateAllViews(nullptr, NEW_DOC);

    m_app.sync().gotoTime(TC_ZERO);
    m_app.sync().setMaster(CSyncManager::MASTER_INTERNAL);
    m_app.setRate(0, false);
    m_app.resetLink(true);

    // The properties sheet that every later new document opens is not built yet.
    m_app.m_bNewDocCreated = true;

    removeBookmarks();
    indent.release();
    m_app.Log("CVarEDoc::OnNewDocument() => Ok\n");
    return true;
}

bool CVarEDoc::readScript(const QString& strRead) {
    const QString strExt = strRead.mid(strRead.lastIndexOf(QLatin1Char('.')));
    if (strExt == QLatin1String(".vare") || strExt == QLatin1String(".bak"))
        return m_script.load(strRead, &m_app.bookmarks());
    if (strExt == QLatin1String(".det")) return m_script.importDet(strRead);
    return false;
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

bool CVarEDoc::OnOpenDocument(const QString& strPath) {
    m_app.Log("CVarEDoc::OnOpenDocument(%s)\n", qUtf8Printable(strPath));
    CLogIndent indent(m_app);
    IPrompts& prompts = m_app.prompts();

    const QFileInfo fi(strPath);
    if (fi.exists() && !fi.isWritable()) {
        if (prompts.message(
                QStringLiteral("Le fichier est protégé en écriture. Voulez-vous tout de même l'ouvrir ?"),
                IPrompts::ICON_QUESTION, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
            indent.release();
            m_app.Log("CVarEDoc::OnOpenDocument(%s) => Failed\n", qUtf8Printable(strPath));
            return false;
        }
    }
    m_script.log().Open(m_app.settings().get(Settings::VarELogType),
                        m_app.settings().get(Settings::VarELogLevel), m_app.logFolder(),
                        QStringLiteral("vare"));

    QString strRead = strPath;
    bool bBackup = false;
    QString strBackup;
    const QDateTime newest = CAutoSave::newestBackupTime(m_app.autoSaveFolder(), strPath, &strBackup);
    if (newest.isValid() && fi.exists() && newest > fi.lastModified()) {
        if (prompts.yesNo(QStringLiteral(
                "Un fichier plus récent a été enregistré automatiquement lors d'une précédente "
                "session.\nVoulez-vous l'ouvrir ?"))) {
            strRead = strBackup;
            bBackup = true;
        }
    }

    bool bRead = false;
    bool bRenumbered = false;
    {
        QFile probe(strRead);
        if (probe.open(QIODevice::ReadOnly)) {
            probe.close();
            m_lock.acquire();
            m_script.clear();
            m_app.bookmarks().clear();
            m_app.player().close();
            SetPathName(strPath);
            UpdateAllViews(nullptr, NEW_DOC);
            m_app.Log("Ouverture du fichier '%s'\n", qUtf8Printable(strRead));
            {
                SWaitCursor wait;
                bRead = readScript(strRead);
            }
        } else {
            m_lock.acquire();
        }
    }

    if (bRead) {
        const CVarE::LoopSet& loops = m_script.getLoops();
        if (!loops.empty() && m_script.loopsNumberedFromZero()) {
            m_script.renumberLoops(loops.begin(), 1);
            bRenumbered = true;
        }
        UpdateAllViews(nullptr, NEW_DOC);
        m_app.sync().setMaster(CSyncManager::MASTER_INTERNAL);
        const QString strVideo = m_script.get(CVarE::H_VIDEO_FILE);
        if (!strVideo.isEmpty()) {
            if (openVideoFile(resolveMediaPath(strVideo))) {
                m_app.sync().setMaster(CSyncManager::MASTER_PLAYER);
                if (m_script.getTimeStamp().isValid()) m_app.setTimeStamp(m_script.getTimeStamp());
            }
        } else {
            showDefaultImage();
        }
        if (m_script.getLastPosition().isValid())
            m_app.gotoTime(m_script.getLastPosition());
        else
            m_app.gotoTime(m_app.player().getStartTimeCode());
        UpdateAllViews(nullptr, NEW_DOC);
        m_app.resetLink();
        const QString strAudio = m_script.get(CVarE::H_AUDIO_FILE);
        if (!strAudio.isEmpty() && !openAudioFile(resolveMediaPath(strAudio)))
            prompts.error(QStringLiteral("Impossible d'ouvrir le fichier audio associé."));
        m_lock.release();
    } else {
        m_lock.release();
        prompts.error(QStringLiteral("Impossible d'ouvrir le fichier %1").arg(strPath));
        // An empty document replaces the one that failed.
        OnNewDocument();
        indent.release();
        m_app.Log("CVarEDoc::OnOpenDocument(%s) => Failed\n", qUtf8Printable(strPath));
        return false;
    }

    SetModifiedFlag(bBackup || bRenumbered);
    indent.release();
    m_app.Log("CVarEDoc::OnOpenDocument(%s) => Ok\n", qUtf8Printable(strPath));
    return true;
}

bool CVarEDoc::openDocumentFile(const QString& strPath) {
    if (!OnOpenDocument(strPath)) {
        m_app.recentFiles().remove(QFileInfo(strPath).absoluteFilePath());
        return false;
    }
    if (strPath.endsWith(QLatin1String(".det"))) {
        // A legacy detection is saved as a new VarE file.
        const QString strTitle = m_strTitle.left(m_strTitle.size() - 4);
        m_strPathName.clear();
        SetTitle(strTitle);
        SetModifiedFlag(true);
    } else {
        m_app.recentFiles().add(strPath);
    }
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
    storeFolder("Paths", "VarEPath", strPath);
    return openDocumentFile(strPath);
}

bool CVarEDoc::OnSaveDocument(const QString& strPath) {
    m_app.Log("CVarEDoc::OnSaveDocument(%s)\n", qUtf8Printable(strPath));
    const QFileInfo fi(strPath);
    if (fi.exists() && !fi.isWritable()) {
        m_app.prompts().error(
            QStringLiteral("Le fichier est en lecture seule. Il ne peut pas être sauvegardé."));
        return false;
    }
    m_script.setLastPosition(m_app.getTimeCode());
    m_script.setLastTrack(m_app.m_nCurrentTrack);
    if (!storeScript(strPath)) return false;
    storeFolder("Paths", "VarEPath", strPath);
    return true;
}

bool CVarEDoc::storeScript(const QString& strPath) {
    bool bOk;
    {
        SWaitCursor wait;
        bOk = m_script.store(strPath);
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
        SetPathName(strTarget);
        m_app.recentFiles().add(strTarget);
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
    m_app.Log("CVarEDoc::OnFileSaveCopy()\n");
    m_script.setLastPosition(m_app.getTimeCode());
    m_script.setLastTrack(m_app.m_nCurrentTrack);
    QString strProposed = (m_app.m_bPrefixCopies ? QStringLiteral("Copie de ") : QString()) + m_strTitle;
    const QString strFolder = m_app.settings().get(Settings::VarECopyPath);
    if (!strFolder.isEmpty()) strProposed = QDir(strFolder).filePath(strProposed);
    const QString strPath =
        m_app.prompts().getSaveFileName(QStringLiteral("Enregistrer une copie sous"), strProposed,
                                        QStringLiteral("Fichier VarE (*.vare)"), QStringLiteral("vare"));
    if (strPath.isEmpty()) return false;
    if (!storeScript(strPath)) return false;
    storeFolder("Paths", "VarECopyPath", strPath);
    return true;
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
    m_app.Log("CVarEDoc::OnCloseDocument()\n");
    m_autoSave.waitForAll();
    m_lock.acquire();
    m_script.clear();
    m_lock.release();
    m_app.Log("calling CDocument::OnCloseDocument()\n");
    m_app.Log("CVarEDoc::OnCloseDocument() => Ok\n");
}

bool CVarEDoc::openVideoFile(const QString& strPath) {
    m_app.Log("CVarEDoc::openVideoFile(%s)\n", qUtf8Printable(strPath));
    const CTimeCode tcBefore = m_app.getTimeCode();
    bool bOk;
    {
        SWaitCursor wait;
        bOk = m_app.openMedia(strPath);
    }
    if (!bOk) {
        if (m_app.prompts().yesNo(
                QStringLiteral("Impossible d'ouvrir la séquence « %1 » associée à ce fichier. "
                               "Voulez-vous la chercher vous-même ?")
                    .arg(strPath))) {
            OnFileVideo();
            return m_app.player().hasMovie();
        }
        showDefaultImage();
        m_app.sync().setMaster(CSyncManager::MASTER_INTERNAL);
        return false;
    }
    m_app.sync().setMaster(CSyncManager::MASTER_PLAYER);
    m_app.showStillImage({});
    const QString strKept = m_script.get(CVarE::H_VIDEO_FILE);
    if (resolveMediaPath(strKept) != QFileInfo(strPath).absoluteFilePath() && strKept != strPath) {
        m_script.setVideoFile(strPath);
        SetModifiedFlag(true);
    }
    CQuickTime& qt = m_app.player();
    if (m_script.getTimeStamp().isValid()) {
        m_app.setTimeStamp(m_script.getTimeStamp());
    } else if (!qt.getTimeStamp().isValid()) {
        OnEditTimestamp();
    } else {
        if (m_script.getTimeStamp() != qt.getTimeStamp()) SetModifiedFlag(true);
        m_script.setTimeStamp(qt.getTimeStamp());
    }
    const CTimeCode tcStart = qt.getStartTimeCode(), tcEnd = qt.getEndTimeCode();
    m_app.gotoTime(tcBefore.isValid() && tcStart <= tcBefore && tcBefore <= tcEnd ? tcBefore : tcStart);
    m_app.resetLink();
    m_app.workingCopy().movieOpened();
    return true;
}

bool CVarEDoc::openAudioFile(const QString& strPath) {
    m_app.Log("CVarEDoc::openAudioFile(%s)\n", qUtf8Printable(strPath));
    if (!QFileInfo::exists(strPath) || !m_app.player().addAudio(strPath)) return false;
    if (m_script.get(CVarE::H_AUDIO_FILE) != strPath &&
        resolveMediaPath(m_script.get(CVarE::H_AUDIO_FILE)) != strPath) {
        m_script.set(CVarE::H_AUDIO_FILE, strPath);
        SetModifiedFlag(true);
    }
    storeFolder("Paths", "AudioPath", strPath);
    return true;
}

bool CVarEDoc::searchSoundBeside(const QString& strVideo) {
    const int nDot = strVideo.lastIndexOf(QLatin1Char('.'));
    const QString strStem = nDot < 0 ? strVideo : strVideo.left(nDot);
    for (const char* pszExt : SOUND_EXTENSIONS)
        if (openAudioFile(strStem + QLatin1String(pszExt))) return true;
    return false;
}

void CVarEDoc::OnFileVideo() {
    m_app.Log("OnFileVideo()\n");
    const QString strCurrent = m_script.get(CVarE::H_VIDEO_FILE);
    const QString strStart =
        strCurrent.isEmpty() ? m_app.settings().get(Settings::VideoPath) : resolveMediaPath(strCurrent);
    const QString strPath = m_app.prompts().getOpenFileName(QStringLiteral("Ouvrir l'image"), strStart,
                                                            QString::fromUtf8(VIDEO_FILTER));
    if (strPath.isEmpty()) return;
    if (openVideoFile(strPath)) storeFolder("Paths", "VideoPath", strPath);
    if (!m_app.player().hasAudio() && !searchSoundBeside(strPath))
        m_app.prompts().error(QStringLiteral("Impossible d'ouvrir le fichier audio associé."));
    UpdateAllViews(nullptr, NOTHING);
}

void CVarEDoc::OnEditTimestamp() {
    m_app.Log("CVarEDoc::OnEditTimestamp()\n");
    CQuickTime& qt = m_app.player();
    CTimeCode tcProposed, tcMin = TC_ZERO;
    if (qt.getTimeStamp().isValid() && qt.hasMovie()) {
        tcProposed = m_app.getTimeCode();
        tcMin = tcProposed - qt.getTimeStamp();
    } else {
        tcProposed = CTimeCode("01:00:00:00");
    }
    for (;;) {
        const CTimeCode tc = m_app.askTimeCode(QStringLiteral("Changer le timestamp"), tcProposed);
        if (!tc.isValid()) return; // cancelled
        if (tc > tcMin) {
            const CTimeCode tcStamp = tc - tcMin;
            m_app.setTimeStamp(tcStamp);
            m_script.setTimeStamp(tcStamp);
            m_app.sync().gotoTime(m_app.getTimeCode());
            m_app.resetLink();
            SetModifiedFlag(true);
            return;
        }
        m_app.prompts().error(
            QStringLiteral("La valeur de timecode est trop faible (minimum %1).").arg(tcMin.toString()));
        tcProposed = tc;
    }
}

QString CVarEDoc::autoSave() {
    if (m_strPathName.isEmpty() || !m_bModified) return {};
    return m_autoSave.save(m_script, m_app.getTimeCode(), m_app.autoSaveFolder(), m_strTitle);
}
