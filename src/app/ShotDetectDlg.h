#pragma once

#include "app/ShotDetectThread.h"
#include "vare/TimeCode.h"

#include <QDialog>
#include <functional>

class CQuickTime;
class CVarEDoc;
class IAppServices;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The movie the search reads: the player's file with its first and last frames. No path: no movie.
struct SShotMovie {
    // What the player shows: its file and first frame (its timestamp), none without a picture.
    static SShotMovie ofPlayer(CQuickTime& player);

    QString strPath;
    CTimeCode tcStart = TC_ZERO;
    CTimeCode tcEnd = TC_ZERO;
};

// "Détection de plans automatique": runs the cut search over the movie and makes every cut a shot
// change of the script, the whole run one undoable step. Shows the cuts found and the time left, and
// stops on "Arrêter", keeping what was found. The type of film and the custom threshold are kept in
// the settings.
class CShotDetectDlg : public QDialog {
    Q_OBJECT
public:
    enum EType { TYPE_LIVE = 0, TYPE_CARTOON = 1, TYPE_CUSTOM = 2 };
    static constexpr int PROGRESS_UNIT = 150; // frames per step of the progress bar

    CShotDetectDlg(IAppServices& app, CVarEDoc& doc, const SShotMovie& movie, QWidget* pParent = nullptr);
    ~CShotDetectDlg() override;

    // "1 plan détecté — ..." and "%i plans détectés — ...".
    static QString statusText(int nCount, const QString& strRemaining);
    // "%i minute%s et %i seconde%s".
    static QString remainingText(int nSeconds);

    // The threshold the controls give; 0 when the custom value is not a number above 0.
    int threshold() const;
    bool isRunning() const { return m_bRunning; }
    int shotCount() const { return m_nCount; }
    // Where the search stood when it ended (by itself or by "Arrêter").
    CTimeCode searchPosition() const { return m_thread.position(); }

    // "Démarrer" and "Arrêter".
    void OnStartStop();
    void accept() override;
    void reject() override;

    QButtonGroup* typeGroup() const { return m_pType; }
    QLineEdit* customEdit() const { return m_pCustom; }
    QProgressBar* progressBar() const { return m_pProgress; }
    QLabel* statusLabel() const { return m_pStatus; }
    QPushButton* startButton() const { return m_pStart; }
    QPushButton* closeButton() const { return m_pClose; }

    // Seconds of a steady clock (tests set their own).
    std::function<qint64()> m_now;

private:
    void start();
    void stop();
    void OnShotDetected(int nFrames);
    void OnEnd();
    void updateControls();
    void storeSettings();

    IAppServices& m_app;
    CVarEDoc& m_doc;
    SShotMovie m_movie;
    CShotDetectThread m_thread;
    QGroupBox* m_pTypeBox;
    QButtonGroup* m_pType;
    QLineEdit* m_pCustom;
    QProgressBar* m_pProgress;
    QLabel* m_pStatus;
    QPushButton* m_pStart;
    QPushButton* m_pClose;
    int m_nCount = 0;
    qint64 m_nStartSeconds = 0;
    bool m_bRunning = false;
};
