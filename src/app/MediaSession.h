#pragma once

#include "vare/TimeCode.h"

#include <QObject>
#include <QString>

class CCommandTable;
class CQuickTime;
class CSyncManager;
class CTransport;
class CVarEDoc;
class IAppServices;

// The picture and the sound of the open script: opens them in the player, gives the clock its master,
// keeps the script's media paths and timestamp in step with what is open (through the document), and
// the audio and picture options. The still image stands in for the picture while none is open.
//
// The document never touches the player: when it has opened or created a script, the application
// calls attachScriptMedia() or closeMedia().
class CMediaSession : public QObject {
    Q_OBJECT
public:
    static constexpr int VOLUME_STEP = 16;

    CMediaSession(IAppServices& app, CQuickTime& player, CSyncManager& sync, CTransport& transport,
                  CVarEDoc& doc, QObject* pParent = nullptr);

    void bindCommands(CCommandTable& commands);

    // A new script: no media, the clock alone at 00:00:00:00, the default image.
    void closeMedia();
    // A script was opened: its picture and sound, its timestamp, and the clock at its last position
    // (or at its first phrase when it has no picture).
    void attachScriptMedia();

    bool openVideoFile(const QString& strPath);
    bool openAudioFile(const QString& strPath);
    void OnFileVideo();
    // What "Ouvrir l'image" does with the file chosen: the picture, then the sound beside it when no
    // sound is open; true when the picture is open.
    bool openVideoWithSound(const QString& strPath);
    void OnEditTimestamp();
    void setTimeStamp(const CTimeCode& tc);

    // The still image shown in place of a picture; empty while a picture is open.
    const QString& stillImage() const { return m_strStillImage; }

    void OnAudioVolumeUp();
    void OnAudioVolumeDown();
    void OnAudioMute();
    void OnAudioVersion();
    bool isInternationalVersion() const { return m_bVI; }
    void OnViewDeinterlace();
    void OnViewHighQuality();

signals:
    void stillImageChanged(const QString& strPath);
    // A movie was opened and the clock stands on it (its working copy may be looked for).
    void movieOpened();
    // The picture, the sound or their options changed (indicators, menus).
    void mediaChanged();
    // The audio version or channel count changed: the VI/VO indicators follow.
    void audioVersionChanged(int nChannelCount, bool bInternational);

private:
    void showStillImage(const QString& strPath);
    void showDefaultImage();
    bool searchSoundBeside(const QString& strVideo);

    IAppServices& m_app;
    CQuickTime& m_qt;
    CSyncManager& m_sync;
    CTransport& m_transport;
    CVarEDoc& m_doc;
    QString m_strStillImage;
    bool m_bVI = false;
    bool m_bDeinterlace = false;
    bool m_bHighQuality = false;
};
