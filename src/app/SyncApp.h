#pragma once

#include "app/Prompts.h"
#include "app/ShellOpen.h"
#include "base/Settings.h"
#include "base/TraceLog.h"
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"
#include "sync/SyncProbe.h"

#include <QObject>
#include <QString>
#include <memory>

class CSingleInstance;

// What the program is started with; tests give their own folders, a headless player, answers to
// the questions and an instance name of their own.
struct SAppOptions {
    QString strProgramFolder;   // default: the executable's folder
    QString strDocumentsFolder; // default: the user's documents folder
    QString strInstanceName;    // default: one name per user and graphical session
    bool bHeadless = false;     // a player without picture or sound devices
    bool bShowWindow = true;
    bool bViews = true;           // the control view and the picture in their panes
    bool bBand = true;            // the band in its pane (needs OpenGL 3.3)
    IPrompts* pPrompts = nullptr; // default: real message boxes and file dialogs
    CShellOpen::Opener openUrl;   // default: the desktop's program for the file or address
};

// What the program's parts need of the application around them: its trace log, its settings, its
// questions to the user and its folders (no trailing separator).
class IAppServices {
public:
    virtual ~IAppServices() = default;
    virtual CTraceLog& log() = 0;
    virtual CSettingsStore& settings() = 0;
    virtual IPrompts& prompts() = 0;
    // Opens files and web addresses with the desktop's programs.
    virtual CShellOpen& shell() = 0;
    virtual const QString& programFolder() const = 0;
    virtual const QString& dataFolder() const = 0;
    virtual const QString& autoSaveFolder() const = 0;
    virtual const QString& logFolder() const = 0;
};

// The generic half of the application: folders, settings store, the application's trace log, the
// single running copy, the clock and the main player.
class CSyncApp : public QObject, public CTraceLog, public IAppServices {
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

    // IAppServices
    CTraceLog& log() override { return *this; }
    CSettingsStore& settings() override { return *m_pSettings; }
    IPrompts& prompts() override { return *m_pPrompts; }
    CShellOpen& shell() override { return m_shell; }
    const QString& programFolder() const override { return m_strProgramFolder; }
    const QString& dataFolder() const override { return m_strDataFolder; }
    const QString& autoSaveFolder() const override { return m_strAutoSaveFolder; }
    const QString& logFolder() const override { return m_strLogFolder; }

    CSyncManager& sync() { return m_sync; }
    CQuickTime& player() { return m_qt; }
    CSyncProbe& probe() { return m_probe; }
    const SAppOptions& options() const { return m_options; }
    CSingleInstance* singleInstance() const { return m_pInstance; }

protected:
    SAppOptions m_options;
    std::unique_ptr<CSettingsStore> m_pSettings;
    CPrompts m_defaultPrompts;
    IPrompts* m_pPrompts;
    CShellOpen m_shell;
    CSyncManager m_sync;
    // What the picture, the band and the timecode show at each refresh (app log, mask 16); it outlives
    // the player that reports to it.
    CSyncProbe m_probe{*this};
    CQuickTime m_qt;

private:
    CSingleInstance* m_pInstance = nullptr;
    bool m_bSecondCopy = false;
    QString m_strProgramFolder;
    QString m_strDataFolder;
    QString m_strAutoSaveFolder;
    QString m_strLogFolder;
};
