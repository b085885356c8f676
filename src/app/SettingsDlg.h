#pragma once

#include <QDialog>
#include <functional>

class CCommandTable;
class CSettingsStore;
class CTavorinApp;
class CWorkingCopyController;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class QSpinBox;

// "Préférences": the general settings, the auto-save, the working copies and the control screen (whose
// group is enabled only when the program may use a control screen). Loads the settings on opening; OK
// stores them (the auto-save's two values are the caller's to store: they restart its timer).
class CTavorinSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // pWorkingCopy null: no working-copy cache to show.
    CTavorinSettingsDlg(CSettingsStore& settings, CWorkingCopyController* pWorkingCopy,
                        bool bControlScreenEnabled, QWidget* pParent = nullptr);

    bool isAutoSaveOn() const;
    int autoSaveMinutes() const;

    // "%d ms" after the slider's value.
    static QString delayText(int nValue);

    QCheckBox* checkForUpdatesBox() const { return m_pCheckUpdates; }
    QCheckBox* prefixBox() const { return m_pPrefix; }
    QCheckBox* autoCloseBox() const { return m_pAutoClose; }
    QCheckBox* autoSaveBox() const { return m_pAutoSave; }
    QSpinBox* intervalEdit() const { return m_pInterval; }
    QComboBox* themeList() const { return m_pTheme; }
    QComboBox* workingCopyList() const { return m_pWorkingCopy; }
    QGroupBox* controlScreenGroup() const { return m_pControlGroup; }
    QCheckBox* showControlScreenBox() const { return m_pShowControl; }
    QSlider* delaySlider() const { return m_pDelay; }
    QLabel* delayLabel() const { return m_pDelayValue; }
    void accept() override;

private:
    CSettingsStore& m_settings;
    QCheckBox* m_pCheckUpdates;
    QCheckBox* m_pPrefix;
    QCheckBox* m_pAutoClose;
    QCheckBox* m_pAutoSave;
    QSpinBox* m_pInterval;
    QComboBox* m_pTheme;
    QComboBox* m_pWorkingCopy;
    QGroupBox* m_pControlGroup;
    QCheckBox* m_pShowControl;
    QSlider* m_pDelay;
    QLabel* m_pDelayValue;
};

// "Préférences...": the dialog, then the auto-save stored and its timer stopped or restarted with the
// new period, and the theme given to the views.
class CPreferences {
public:
    explicit CPreferences(CTavorinApp& app);
    void bindCommands(CCommandTable& commands);
    // True when the user accepted.
    bool OnEditPreferences();

    // How the dialog runs (tests answer it).
    std::function<int(CTavorinSettingsDlg&)> m_runDialog;

private:
    CTavorinApp& m_app;
};
