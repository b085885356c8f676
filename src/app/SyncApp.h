#pragma once

#include "app/Prompts.h"
#include "base/Settings.h"
#include "base/TraceLog.h"
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"

#include <QObject>
#include <QString>
#include <memory>

class CSingleInstance;

// What the program is started with; tests give their own folders, a headless player, answers to
// the questions and an instance name of their own.
struct SAppOptions {
    QString strProgramFolder;   // default: the executable's folder
    QString strDocumentsFolder; // default: the user's documents folder
    QString strInstanceName;    // default: one name per user
    bool bHeadless = false;     // a player without picture or sound devices
    bool bShowWindow = true;
    bool bViews = true;           // the control view and the picture in their panes
    bool bBand = true;            // the band in its pane (needs OpenGL 3.3)
    IPrompts* pPrompts = nullptr; // default: real message boxes and file dialogs
};

// The generic half of the application: folders, settings store, logs, single copy, the clock and
// the main player, and the transport operations every view calls.
class CSyncApp : public QObject, public CTraceLog {
    Q_OBJECT
public:
    explicit CSyncApp(SAppOptions options, QObject* pParent = nullptr);
    ~CSyncApp() override;

    // Start-up up to the player; false when the program must end (second copy, no media library).
    // strFile is handed to the first copy when one already runs.
    virtual bool InitInstance(const QString& strFile = {});
    virtual int ExitInstance();
    // This start found another running copy (which got the command line).
    bool isSecondCopy() const { return m_bSecondCopy; }

    // --- settings
    CSettingsStore& settings() { return *m_pSettings; }
    int GetProfileInt(const QString& section, const QString& key, int nDefault) const;
    bool WriteProfileInt(const QString& section, const QString& key, int nValue);
    QString GetProfileString(const QString& section, const QString& key,
                             const QString& strDefault = {}) const;
    bool WriteProfileString(const QString& section, const QString& key, const QString& strValue);

    // --- folders (no trailing separator)
    const QString& programFolder() const { return m_strProgramFolder; }
    const QString& dataFolder() const { return m_strDataFolder; }
    const QString& autoSaveFolder() const { return m_strAutoSaveFolder; }
    const QString& logFolder() const { return m_strLogFolder; }

    CSyncManager& sync() { return m_sync; }
    CQuickTime& player() { return m_qt; }
    IPrompts& prompts() { return *m_pPrompts; }
    const SAppOptions& options() const { return m_options; }
    CSingleInstance* singleInstance() const { return m_pInstance; }

    // --- transport operations
    virtual bool openMedia(const QString& strPath);
    virtual CTimeCode getTimeCode(int nLookAhead = 0);
    virtual bool gotoTime(const CTimeCode& tc);
    virtual int getRate() const { return m_sync.getRate(); }
    virtual void setRate(int nRate, bool bShuttle);
    virtual void setTimeStamp(const CTimeCode& tc);

    // --- general settings read at start-up
    bool m_bCheckForUpdates = false;
    bool m_bPrefixCopies = true;
    int m_nTheme = 1;
    bool m_bAutoCloseReacs = false;
    bool m_bControlScreenEnabled = false;
    bool m_bShowControlScreenAtStartup = false;
    int m_nMainScreenDelay = 0;
    int m_nControlScreenDelay = 0;

    // --- transport flags
    bool m_bFollowPosition = true;
    bool m_bShuttle = false;
    bool m_bVI = false;
    bool m_bDeinterlace = false;
    bool m_bHighQuality = false;
    bool m_bControlScreenShown = false;

signals:
    // The transport moved or changed speed (views refresh, the frame loop wakes).
    void transportChanged();

protected:
    SAppOptions m_options;
    std::unique_ptr<CSettingsStore> m_pSettings;
    CPrompts m_defaultPrompts;
    IPrompts* m_pPrompts;
    CSyncManager m_sync;
    CQuickTime m_qt;
    CSingleInstance* m_pInstance = nullptr;
    bool m_bSecondCopy = false;
    QString m_strProgramFolder;
    QString m_strDataFolder;
    QString m_strAutoSaveFolder;
    QString m_strLogFolder;
};
