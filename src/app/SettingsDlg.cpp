#include "app/SettingsDlg.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "app/TavorinApp.h"
#include "rythmo/RythmoDXEditView.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/WorkingCopyProgress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int MS_PER_MINUTE = 60000;
constexpr int MAX_DELAY = 500;

QString utf8(const char* psz) {
    return QString::fromUtf8(psz);
}
} // namespace

CTavorinSettingsDlg::CTavorinSettingsDlg(CSettingsStore& settings, CWorkingCopyController* pWorkingCopy,
                                         bool bControlScreenEnabled, QWidget* pParent)
    : QDialog(pParent), m_settings(settings),
      m_pCheckUpdates(new QCheckBox(utf8("Vérifier les mises à jour au lancement"), this)),
      m_pPrefix(new QCheckBox(utf8("Préfixer les copies enregistrées par « Copie de »"), this)),
      m_pAutoClose(new QCheckBox(utf8("Fermer automatiquement les réacs"), this)),
      m_pAutoSave(new QCheckBox(utf8("Activer la sauvegarde automatique"), this)),
      m_pInterval(new QSpinBox(this)), m_pTheme(new QComboBox(this)), m_pWorkingCopy(new QComboBox(this)),
      m_pControlGroup(new QGroupBox(utf8("Écran de contrôle"), this)),
      m_pShowControl(new QCheckBox(utf8("Afficher l'écran de contrôle au lancement"), m_pControlGroup)),
      m_pDelay(new QSlider(Qt::Horizontal, m_pControlGroup)), m_pDelayValue(new QLabel(m_pControlGroup)) {
    setWindowTitle(utf8("Préférences"));

    auto* pAutoSaveRow = new QHBoxLayout;
    pAutoSaveRow->addWidget(m_pAutoSave);
    pAutoSaveRow->addStretch(1);
    pAutoSaveRow->addWidget(new QLabel(QStringLiteral("Intervalle :"), this));
    // A period of 0 would save without pause: a minute at least.
    m_pInterval->setRange(1, 24 * 60);
    pAutoSaveRow->addWidget(m_pInterval);
    pAutoSaveRow->addWidget(new QLabel(QStringLiteral("minutes"), this));
    connect(m_pAutoSave, &QCheckBox::toggled, m_pInterval, &QWidget::setEnabled);

    m_pTheme->addItems({utf8("Métal"), utf8("Papier")});
    auto* pThemeRow = new QFormLayout;
    pThemeRow->addRow(QStringLiteral("Apparence :"), m_pTheme);

    auto* pCopyBox = new QGroupBox(QStringLiteral("Copies de travail"), this);
    auto* pCopyLayout = new QFormLayout(pCopyBox);
    m_pWorkingCopy->addItems(
        {QStringLiteral("Demander"), QStringLiteral("Toujours"), QStringLiteral("Jamais")});
    pCopyLayout->addRow(utf8("Pour les films lents à parcourir :"), m_pWorkingCopy);
    if (pWorkingCopy) pCopyLayout->addRow(new CWorkingCopyCacheWidget(*pWorkingCopy, pCopyBox));

    m_pDelay->setRange(-MAX_DELAY, MAX_DELAY);
    m_pDelay->setTickInterval(100);
    m_pDelay->setTickPosition(QSlider::TicksBelow);
    m_pDelayValue->setMinimumWidth(60);
    auto* pControlLayout = new QVBoxLayout(m_pControlGroup);
    pControlLayout->addWidget(m_pShowControl);
    pControlLayout->addWidget(
        new QLabel(utf8("Décalage temporel de l'écran principal par rapport\nà l'écran de contrôle :"),
                   m_pControlGroup));
    auto* pSliderRow = new QHBoxLayout;
    pSliderRow->addWidget(new QLabel(QStringLiteral("En retard"), m_pControlGroup));
    pSliderRow->addWidget(m_pDelay, 1);
    pSliderRow->addWidget(new QLabel(QStringLiteral("En avance"), m_pControlGroup));
    pSliderRow->addWidget(m_pDelayValue);
    pControlLayout->addLayout(pSliderRow);
    connect(m_pDelay, &QSlider::valueChanged, this, [this](int n) { m_pDelayValue->setText(delayText(n)); });

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CTavorinSettingsDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CTavorinSettingsDlg::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pCheckUpdates);
    pLayout->addWidget(m_pPrefix);
    pLayout->addWidget(m_pAutoClose);
    pLayout->addLayout(pAutoSaveRow);
    pLayout->addLayout(pThemeRow);
    pLayout->addWidget(pCopyBox);
    pLayout->addWidget(m_pControlGroup);
    pLayout->addWidget(pButtons);

    m_pCheckUpdates->setChecked(settings.get(Settings::CheckForUpdatesAtStartup) != 0);
    m_pPrefix->setChecked(settings.get(Settings::PrefixSaveCopyAs) != 0);
    m_pAutoClose->setChecked(settings.get(Settings::EnableAutoCloseReacs) != 0);
    m_pAutoSave->setChecked(settings.get(Settings::EnableAutoSave) != 0);
    m_pInterval->setEnabled(m_pAutoSave->isChecked());
    m_pInterval->setValue(settings.get(Settings::AutoSaveTimer) / MS_PER_MINUTE);
    m_pTheme->setCurrentIndex(std::clamp(settings.get(Settings::Theme), 0, 1));
    m_pWorkingCopy->setCurrentIndex(std::clamp(settings.get(Settings::WorkingCopy), 0, 2));
    m_pControlGroup->setEnabled(bControlScreenEnabled);
    if (bControlScreenEnabled) {
        m_pShowControl->setChecked(settings.get(Settings::ShowControlScreenAtStartup) != 0);
        m_pDelay->setValue(
            std::clamp(settings.get(Settings::ControlScreenDelay) - settings.get(Settings::MainScreenDelay),
                       -MAX_DELAY, MAX_DELAY));
    }
    m_pDelayValue->setText(delayText(m_pDelay->value()));
}

QString CTavorinSettingsDlg::delayText(int nValue) {
    return QStringLiteral("%1 ms").arg(nValue);
}

bool CTavorinSettingsDlg::isAutoSaveOn() const {
    return m_pAutoSave->isChecked();
}

int CTavorinSettingsDlg::autoSaveMinutes() const {
    return m_pInterval->value();
}

void CTavorinSettingsDlg::accept() {
    m_settings.set(Settings::CheckForUpdatesAtStartup, m_pCheckUpdates->isChecked() ? 1 : 0);
    m_settings.set(Settings::PrefixSaveCopyAs, m_pPrefix->isChecked() ? 1 : 0);
    m_settings.set(Settings::Theme, m_pTheme->currentIndex());
    m_settings.set(Settings::EnableAutoCloseReacs, m_pAutoClose->isChecked() ? 1 : 0);
    m_settings.set(Settings::ShowControlScreenAtStartup, m_pShowControl->isChecked() ? 1 : 0);
    const int v = m_pDelay->value();
    m_settings.set(Settings::MainScreenDelay, std::max(-v, 0));
    m_settings.set(Settings::ControlScreenDelay, std::max(v, 0));
    m_settings.set(Settings::WorkingCopy, m_pWorkingCopy->currentIndex());
    QDialog::accept();
}

// ------------------------------------------------------------------------------------------ the command

CPreferences::CPreferences(CTavorinApp& app)
    : m_runDialog([](CTavorinSettingsDlg& dlg) { return dlg.exec(); }), m_app(app) {}

void CPreferences::bindCommands(CCommandTable& c) {
    c.bind(Cmd::EDIT_PREFERENCES, [this] { OnEditPreferences(); });
}

bool CPreferences::OnEditPreferences() {
    // The control screen is not offered on this platform.
    CTavorinSettingsDlg dlg(m_app.settings(), &m_app.workingCopy(), false, &m_app.mainFrame());
    if (m_runDialog(dlg) != QDialog::Accepted) return false;
    CSettingsStore& settings = m_app.settings();
    const int nPeriod = dlg.autoSaveMinutes() * MS_PER_MINUTE;
    settings.set(Settings::EnableAutoSave, dlg.isAutoSaveOn() ? 1 : 0);
    settings.set(Settings::AutoSaveTimer, nPeriod);
    if (dlg.isAutoSaveOn())
        m_app.mainFrame().startAutoSave(nPeriod);
    else
        m_app.mainFrame().stopAutoSave();
    settings.sync();

    const int nTheme = settings.get(Settings::Theme);
    if (CControlView* pControl = m_app.controlView()) pControl->setTheme(nTheme);
    if (CRythmoDXEditView* pBand = m_app.bandView()) {
        pBand->setTheme(nTheme);
        pBand->requestFrame();
    }
    return true;
}
