#include "app/MediaSession.h"

#include "app/Commands.h"
#include "app/SyncApp.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "app/WaitCursor.h"
#include "base/DataFolder.h"

#include <QFileInfo>

namespace {
const char* const VIDEO_FILTER = "Fichier vidéo (*.mov *.avi *.mpg *.mpeg *.mp4 *.dv);;Tous les fichiers (*)";
const char* const SOUND_EXTENSIONS[] = {".bwf", ".aif", ".aiff", ".wav", ".mp3"};
} // namespace

CMediaSession::CMediaSession(IAppServices& app, CQuickTime& player, CSyncManager& sync, CTransport& transport,
                             CVarEDoc& doc, QObject* pParent)
    : QObject(pParent), m_app(app), m_qt(player), m_sync(sync), m_transport(transport), m_doc(doc) {}

void CMediaSession::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_VIDEO, [this] { OnFileVideo(); });
    c.bind(Cmd::CONTROL_TIMESTAMP, [this] { OnEditTimestamp(); });
    c.bind(Cmd::AUDIO_VOLUME_UP, [this] { OnAudioVolumeUp(); });
    c.bind(Cmd::AUDIO_VOLUME_DOWN, [this] { OnAudioVolumeDown(); });
    c.bind(Cmd::AUDIO_MUTE,
           {[this] { OnAudioMute(); }, {}, [this] { return m_qt.hasMovie() && m_qt.isMuted(); }});
    // The VI entry names the version it switches to.
    c.bind(Cmd::AUDIO_VI,
           {[this] { OnAudioVersion(); },
            [this] { return m_qt.hasMovie() && m_qt.getAudioChannelCount() == 4; },
            {},
            [this] {
                return QStringLiteral("Passer en &V%1\tF2").arg(m_bVI ? QLatin1Char('O') : QLatin1Char('I'));
            }});
    c.bind(Cmd::AUDIO_RECORD, [] {}); // does nothing, by design
    c.bind(Cmd::VIEW_DEINTERLACE, {[this] { OnViewDeinterlace(); }, {}, [this] { return m_bDeinterlace; }});
    c.bind(Cmd::VIEW_HIGH_QUALITY, {[this] { OnViewHighQuality(); }, {}, [this] { return m_bHighQuality; }});
}

void CMediaSession::showStillImage(const QString& strPath) {
    if (m_strStillImage == strPath) return;
    m_strStillImage = strPath;
    emit stillImageChanged(strPath);
}

void CMediaSession::showDefaultImage() {
    QString str = m_app.settings().get(Settings::DefaultImage);
    if (!str.contains(QLatin1Char('/')) && !str.contains(QLatin1Char('\\'))) {
        // A bare name: beside the program, else among the files it ships.
        const QString strBeside = m_app.programFolder() + QLatin1Char('/') + str;
        const QString strShipped = CDataFolder(m_app.programFolder()).filePath(str);
        str = QFileInfo::exists(strBeside) || strShipped.isEmpty() ? strBeside : strShipped;
    }
    showStillImage(str);
}

void CMediaSession::closeMedia() {
    showDefaultImage();
    m_qt.close();
    m_sync.gotoTime(TC_ZERO);
    m_sync.setMaster(CSyncManager::MASTER_INTERNAL);
    m_transport.stop();
    emit mediaChanged();
    emit audioVersionChanged(0, m_bVI);
}

void CMediaSession::attachScriptMedia() {
    const CVarE& script = m_doc.script();
    m_qt.close();
    m_sync.setMaster(CSyncManager::MASTER_INTERNAL);
    const QString strVideo = script.get(CVarE::H_VIDEO_FILE);
    if (!strVideo.isEmpty()) {
        if (openVideoFile(m_doc.resolveMediaPath(strVideo))) {
            m_sync.setMaster(CSyncManager::MASTER_PLAYER);
            if (script.getTimeStamp().isValid()) setTimeStamp(script.getTimeStamp());
        }
    } else {
        showDefaultImage();
    }
    // Without a picture the clock runs alone over the whole day: the script's last position, else its
    // first phrase, is where the work starts.
    CTimeCode tcStart = m_qt.hasMovie() ? m_qt.getStartTimeCode() : TC_ZERO;
    if (script.getLastPosition().isValid())
        tcStart = script.getLastPosition();
    else if (!m_qt.hasMovie() && !script.getLines().empty())
        tcStart = script.getLines().begin()->getTimeCode();
    m_transport.gotoTime(tcStart);
    const QString strAudio = script.get(CVarE::H_AUDIO_FILE);
    if (!strAudio.isEmpty() && !openAudioFile(m_doc.resolveMediaPath(strAudio)))
        m_app.prompts().error(QStringLiteral("Impossible d'ouvrir le fichier audio associé."));
    emit mediaChanged();
    emit audioVersionChanged(m_qt.hasMovie() ? m_qt.getAudioChannelCount() : 0, m_bVI);
}

bool CMediaSession::openVideoFile(const QString& strPath) {
    m_app.log().Log("CVarEDoc::openVideoFile(%s)\n", qUtf8Printable(strPath));
    const CTimeCode tcBefore = m_transport.getTimeCode();
    bool bOk;
    {
        CWaitCursor wait;
        bOk = m_qt.open(strPath);
    }
    if (!bOk) {
        if (m_app.prompts().yesNo(
                QStringLiteral("Impossible d'ouvrir la séquence « %1 » associée à ce fichier. "
                               "Voulez-vous la chercher vous-même ?")
                    .arg(strPath))) {
            OnFileVideo();
            return m_qt.hasMovie();
        }
        showDefaultImage();
        m_sync.setMaster(CSyncManager::MASTER_INTERNAL);
        return false;
    }
    m_sync.setMaster(CSyncManager::MASTER_PLAYER);
    showStillImage({});
    m_doc.adoptVideoFile(strPath);
    const CTimeCode tcScript = m_doc.script().getTimeStamp();
    if (tcScript.isValid()) {
        setTimeStamp(tcScript);
    } else if (!m_qt.getTimeStamp().isValid()) {
        OnEditTimestamp();
    } else {
        m_doc.adoptTimeStamp(m_qt.getTimeStamp());
    }
    const CTimeCode tcStart = m_qt.getStartTimeCode(), tcEnd = m_qt.getEndTimeCode();
    m_transport.gotoTime(tcBefore.isValid() && tcStart <= tcBefore && tcBefore <= tcEnd ? tcBefore : tcStart);
    emit movieOpened();
    emit mediaChanged();
    emit audioVersionChanged(m_qt.getAudioChannelCount(), m_bVI);
    return true;
}

bool CMediaSession::openAudioFile(const QString& strPath) {
    m_app.log().Log("CVarEDoc::openAudioFile(%s)\n", qUtf8Printable(strPath));
    if (!QFileInfo::exists(strPath) || !m_qt.addAudio(strPath)) return false;
    m_doc.adoptAudioFile(strPath);
    m_app.settings().set(Settings::AudioPath, QFileInfo(strPath).absolutePath());
    emit mediaChanged();
    emit audioVersionChanged(m_qt.getAudioChannelCount(), m_bVI);
    return true;
}

bool CMediaSession::searchSoundBeside(const QString& strVideo) {
    const qsizetype nDot = strVideo.lastIndexOf(QLatin1Char('.'));
    const QString strStem = nDot < 0 ? strVideo : strVideo.left(nDot);
    for (const char* pszExt : SOUND_EXTENSIONS)
        if (openAudioFile(strStem + QLatin1String(pszExt))) return true;
    return false;
}

void CMediaSession::OnFileVideo() {
    m_app.log().Log("OnFileVideo()\n");
    const QString strCurrent = m_doc.script().get(CVarE::H_VIDEO_FILE);
    const QString strStart =
        strCurrent.isEmpty() ? m_app.settings().get(Settings::VideoPath) : m_doc.resolveMediaPath(strCurrent);
    const QString strPath = m_app.prompts().getOpenFileName(QStringLiteral("Ouvrir l'image"), strStart,
                                                            QString::fromUtf8(VIDEO_FILTER));
    if (!strPath.isEmpty()) openVideoWithSound(strPath);
}

bool CMediaSession::openVideoWithSound(const QString& strPath) {
    const bool bOk = openVideoFile(strPath);
    if (bOk) m_app.settings().set(Settings::VideoPath, QFileInfo(strPath).absolutePath());
    if (!m_qt.hasAudio() && !searchSoundBeside(strPath))
        m_app.prompts().error(QStringLiteral("Impossible d'ouvrir le fichier audio associé."));
    m_doc.UpdateAllViews(nullptr, NOTHING);
    return bOk;
}

void CMediaSession::setTimeStamp(const CTimeCode& tc) {
    m_qt.setTimeStamp(tc); // traced by the player in its own log
}

void CMediaSession::OnEditTimestamp() {
    m_app.log().Log("CVarEDoc::OnEditTimestamp()\n");
    CTimeCode tcProposed, tcMin = TC_ZERO;
    if (m_qt.getTimeStamp().isValid() && m_qt.hasMovie()) {
        tcProposed = m_transport.getTimeCode();
        tcMin = tcProposed - m_qt.getTimeStamp();
    } else {
        tcProposed = CTimeCode("01:00:00:00");
    }
    for (;;) {
        const CTimeCode tc = m_app.prompts().askTimeCode(QStringLiteral("Changer le timestamp"), tcProposed);
        if (!tc.isValid()) return; // cancelled
        if (tc > tcMin) {
            const CTimeCode tcStamp = tc - tcMin;
            setTimeStamp(tcStamp);
            m_doc.changeTimeStamp(tcStamp);
            m_sync.gotoTime(m_transport.getTimeCode());
            emit mediaChanged();
            return;
        }
        m_app.prompts().error(
            QStringLiteral("La valeur de timecode est trop faible (minimum %1).").arg(tcMin.toString()));
        tcProposed = tc;
    }
}

void CMediaSession::OnAudioVolumeUp() {
    const int nVolume = m_qt.getVolume();
    if (!m_qt.hasMovie() || nVolume >= CQuickTime::FULL_VOLUME) {
        Click::play();
        return;
    }
    m_qt.setVolume(nVolume + VOLUME_STEP);
}

void CMediaSession::OnAudioVolumeDown() {
    const int nVolume = m_qt.getVolume();
    if (!m_qt.hasMovie() || nVolume <= 0) {
        Click::play();
        return;
    }
    m_qt.setVolume(nVolume - VOLUME_STEP);
}

void CMediaSession::OnAudioMute() {
    if (!m_qt.hasMovie()) return;
    m_qt.setMute(!m_qt.isMuted()); // the player traces the call
}

void CMediaSession::OnAudioVersion() {
    m_bVI = !m_bVI;
    m_qt.setAudioVersion(m_bVI);
    emit audioVersionChanged(m_qt.hasMovie() ? m_qt.getAudioChannelCount() : 0, m_bVI);
}

void CMediaSession::OnViewDeinterlace() {
    m_bDeinterlace = !m_bDeinterlace;
    m_qt.setPlayHints(m_bDeinterlace ? CQuickTime::HINT_DEINTERLACE_FIELDS : 0,
                      CQuickTime::HINT_DEINTERLACE_FIELDS);
}

void CMediaSession::OnViewHighQuality() {
    m_bHighQuality = !m_bHighQuality;
    m_qt.setPlayHints(m_bHighQuality ? CQuickTime::HINT_HIGH_QUALITY : 0, CQuickTime::HINT_HIGH_QUALITY);
}
