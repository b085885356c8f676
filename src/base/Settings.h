#pragma once

#include <QString>
#include <memory>

class QSettings;

// Every setting of the program is declared once here (section, key, default) and read through
// CSettingsStore. Integers and strings only.
struct CIntSetting {
    const char* section;
    const char* key;
    int def;
};
struct CStringSetting {
    const char* section;
    const char* key;
    const char* def;
};

namespace Settings {
// "Settings"
inline constexpr CIntSetting AutoSaveTimer{"Settings", "AutoSaveTimer", 300000};
inline constexpr CIntSetting EnableAutoSave{"Settings", "EnableAutoSave", 1};
inline constexpr CIntSetting CheckForUpdatesAtStartup{"Settings", "CheckForUpdatesAtStartup", 0};
inline constexpr CIntSetting PrefixSaveCopyAs{"Settings", "PrefixSaveCopyAs", 1};
inline constexpr CIntSetting Theme{"Settings", "Theme", 1};
inline constexpr CIntSetting EnableAutoCloseReacs{"Settings", "EnableAutoCloseReacs", 0};
inline constexpr CIntSetting ShowControlScreenAtStartup{"Settings", "ShowControlScreenAtStartup", 0};
inline constexpr CIntSetting MainScreenDelay{"Settings", "MainScreenDelay", 0};
inline constexpr CIntSetting ControlScreenDelay{"Settings", "ControlScreenDelay", 0};
inline constexpr CIntSetting QTMLFlag{"Settings", "QTMLFlag", 0};
inline constexpr CStringSetting DefaultImage{"Settings", "DefaultImage", "mire.jpg"};
inline constexpr CIntSetting FullScreen{"Settings", "FullScreen", 0};
inline constexpr CIntSetting CorvelActive{"Settings", "CorvelActive", 0};
inline constexpr CStringSetting CorvelReference{"Settings", "CorvelReference", ""};
inline constexpr CIntSetting ZoomLevel{"Settings", "ZoomLevel", 2};
inline constexpr CIntSetting ShotDetectionType{"Settings", "ShotDetectionType", 0};
inline constexpr CIntSetting ShotDetectionThreshold{"Settings", "ShotDetectionThreshold", 200000};
inline constexpr CIntSetting ScriptFormat{"Settings", "ScriptFormat", 1};
inline constexpr CIntSetting ScriptTCOut{"Settings", "ScriptTCOut", 0};
inline constexpr CIntSetting ScriptCroisille{"Settings", "ScriptCroisille", 1};
inline constexpr CIntSetting ScriptRoleList{"Settings", "ScriptRoleList", 1};
inline constexpr CIntSetting ScriptFrontPage{"Settings", "ScriptFrontPage", 1};
// The maker's site for the update check: the version file is read from it + "/bin/version.xml" (HTTPS
// only). Empty: no update address, no check.
inline constexpr CStringSetting UpdateURL{"Settings", "UpdateURL", ""};
// "Page web de Tavorin".
inline constexpr CStringSetting HomePageURL{"Settings", "HomePageURL", "https://www.morvath.fr/tavorin/"};
// Working copies of slow movies: 0 ask, 1 always make one, 2 never; the copy's largest width.
inline constexpr CIntSetting WorkingCopy{"Settings", "WorkingCopy", 0};
inline constexpr CIntSetting WorkingCopyWidth{"Settings", "WorkingCopyWidth", 960};
// DAPT exchange: the language of the script's text (a BCP 47 tag) and the script type written.
inline constexpr CStringSetting DaptLanguage{"Settings", "DaptLanguage", "fr"};
inline constexpr CStringSetting DaptScriptType{"Settings", "DaptScriptType", "translatedTranscript"};

// "Logs"
inline constexpr CIntSetting Console{"Logs", "Console", 0};
inline constexpr CIntSetting AppLogLevel{"Logs", "AppLogLevel", 0};
inline constexpr CIntSetting AppLogType{"Logs", "AppLogType", 1};
inline constexpr CIntSetting SyncManagerLogLevel{"Logs", "SyncManagerLogLevel", 0};
inline constexpr CIntSetting SyncManagerLogType{"Logs", "SyncManagerLogType", 1};
inline constexpr CIntSetting QTLogLevel{"Logs", "QTLogLevel", 0};
inline constexpr CIntSetting QTLogType{"Logs", "QTLogType", 1};
inline constexpr CIntSetting VarELogLevel{"Logs", "VarELogLevel", 0};
inline constexpr CIntSetting VarELogType{"Logs", "VarELogType", 1};
inline constexpr CIntSetting CorvelLogLevel{"Logs", "CorvelLogLevel", 0};
inline constexpr CIntSetting CorvelLogType{"Logs", "CorvelLogType", 1};

// "Paths"
inline constexpr CStringSetting VarEPath{"Paths", "VarEPath", ""};
inline constexpr CStringSetting VarECopyPath{"Paths", "VarECopyPath", ""};
inline constexpr CStringSetting VideoPath{"Paths", "VideoPath", ""};
inline constexpr CStringSetting AudioPath{"Paths", "AudioPath", ""};
inline constexpr CStringSetting ExportPath{"Paths", "ExportPath", ""};

// "Placement"
inline constexpr CIntSetting ShowCmd{"Placement", "ShowCmd", 5};
inline constexpr CIntSetting PlacementRemember{"Placement", "Remember", 0};
inline constexpr CIntSetting PlacementFlags{"Placement", "Flags", 0};
inline constexpr CIntSetting MaxPositionX{"Placement", "MaxPositionX", 0};
inline constexpr CIntSetting MaxPositionY{"Placement", "MaxPositionY", 0};
inline constexpr CIntSetting MinPositionX{"Placement", "MinPositionX", 0};
inline constexpr CIntSetting MinPositionY{"Placement", "MinPositionY", 0};
inline constexpr CIntSetting MainScreenPositionBottom{"Placement", "MainScreenPositionBottom", 0};
inline constexpr CIntSetting MainScreenPositionLeft{"Placement", "MainScreenPositionLeft", 0};
inline constexpr CIntSetting MainScreenPositionRight{"Placement", "MainScreenPositionRight", 0};
inline constexpr CIntSetting MainScreenPositionTop{"Placement", "MainScreenPositionTop", 0};

// "Misc"
inline constexpr CIntSetting FirstRun{"Misc", "FirstRun", 1};

// "Fonts": the band's faces (Linux defaults from Debian's font packages)
inline constexpr CStringSetting BandTextFont{"Fonts", "BandTextFont", "Open Sans Light"};
inline constexpr CStringSetting BandLabelFont{"Fonts", "BandLabelFont", "Open Sans"};
} // namespace Settings

// Settings store: an INI file "Tavorin.ini" beside the program when it exists and can be opened for
// reading and writing, otherwise the user's native settings (organisation "Morvath", application
// "Tavorin"). Missing values read as their default; write failures are ignored.
class CSettingsStore {
public:
    // Chooses the store from the program folder (see above).
    explicit CSettingsStore(const QString& strProgramFolder);
    // Uses the given INI file, whatever its state (tests, tools).
    static std::unique_ptr<CSettingsStore> fromIniFile(const QString& strPath);
    ~CSettingsStore();

    bool isIniMode() const { return m_bIni; }
    QString fileName() const;

    int GetProfileInt(const QString& section, const QString& key, int nDefault) const;
    bool WriteProfileInt(const QString& section, const QString& key, int nValue);
    QString GetProfileString(const QString& section, const QString& key,
                             const QString& strDefault = {}) const;
    // A null string deletes the value.
    bool WriteProfileString(const QString& section, const QString& key, const QString& strValue);

    int get(const CIntSetting& s) const { return GetProfileInt(s.section, s.key, s.def); }
    QString get(const CStringSetting& s) const {
        return GetProfileString(s.section, s.key, QString::fromUtf8(s.def));
    }
    void set(const CIntSetting& s, int n) { WriteProfileInt(s.section, s.key, n); }
    void set(const CStringSetting& s, const QString& str) { WriteProfileString(s.section, s.key, str); }

    void sync();

private:
    CSettingsStore() = default;
    std::unique_ptr<QSettings> m_pSettings;
    bool m_bIni = false;
};
