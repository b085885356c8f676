#include "app/ShotDetectDlg.h"

#include "app/SyncApp.h"
#include "app/VarEDoc.h"
#include "sync/QuickTime.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <chrono>

namespace {
constexpr int LIVE_THRESHOLD = 200000;
constexpr int CARTOON_THRESHOLD = 400000;
// The custom threshold is typed in thousands; a frame difference never exceeds 3 x 255 x 3600.
constexpr int CUSTOM_SCALE = 1000;
constexpr int CUSTOM_MAX = 3 * 255 * CFrameReader::SHOT_SIZE * CFrameReader::SHOT_SIZE / CUSTOM_SCALE;

const char* plural(int n) {
    return n == 1 ? "" : "s";
}
} // namespace

SShotMovie SShotMovie::ofPlayer(CQuickTime& player) {
    SShotMovie movie;
    if (!player.hasMovie() || !player.hasVideo()) return movie;
    movie.strPath = player.getPath();
    movie.tcStart = player.getStartTimeCode();
    movie.tcEnd = player.getEndTimeCode();
    return movie;
}

CShotDetectDlg::CShotDetectDlg(IAppServices& app, CVarEDoc& doc, const SShotMovie& movie, QWidget* pParent)
    : QDialog(pParent), m_now([] {
          return qint64(std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count());
      }),
      m_app(app), m_doc(doc), m_movie(movie) {
    setWindowTitle(QString::fromUtf8("Détection de plans automatique"));
    auto* pLayout = new QVBoxLayout(this);

    m_pTypeBox = new QGroupBox(QString::fromUtf8("Type de détection"), this);
    auto* pGrid = new QGridLayout(m_pTypeBox);
    m_pType = new QButtonGroup(this);
    const char* const captions[] = {"Live (200)", "Dessin animé (400)", "Personnalisé :"};
    for (int i = 0; i < 3; ++i) {
        auto* pRadio = new QRadioButton(QString::fromUtf8(captions[i]), m_pTypeBox);
        m_pType->addButton(pRadio, i);
        pGrid->addWidget(pRadio, i, 0);
    }
    m_pCustom = new QLineEdit(m_pTypeBox);
    m_pCustom->setValidator(new QIntValidator(1, CUSTOM_MAX, m_pCustom));
    pGrid->addWidget(m_pCustom, TYPE_CUSTOM, 1);
    pLayout->addWidget(m_pTypeBox);

    m_pProgress = new QProgressBar(this);
    m_pProgress->setTextVisible(false);
    pLayout->addWidget(m_pProgress);
    m_pStatus = new QLabel(this);
    m_pStatus->setMinimumWidth(m_pStatus->fontMetrics().horizontalAdvance(
        QString::fromUtf8("000 plans détectés — 00 minutes et 00 secondes")));
    pLayout->addWidget(m_pStatus);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    m_pStart = new QPushButton(QString::fromUtf8("Démarrer"), this);
    m_pClose = new QPushButton(QStringLiteral("Annuler"), this);
    pButtons->addWidget(m_pStart);
    pButtons->addWidget(m_pClose);
    pLayout->addLayout(pButtons);
    m_pClose->setDefault(true);

    connect(m_pStart, &QPushButton::clicked, this, &CShotDetectDlg::OnStartStop);
    connect(m_pClose, &QPushButton::clicked, this, &CShotDetectDlg::accept);
    connect(m_pType, &QButtonGroup::idToggled, this, [this] { updateControls(); });
    connect(&m_thread, &CShotDetectThread::shotDetected, this, &CShotDetectDlg::OnShotDetected,
            Qt::QueuedConnection);
    connect(&m_thread, &CShotDetectThread::endReached, this, &CShotDetectDlg::OnEnd, Qt::QueuedConnection);
    m_thread.setMovie(m_movie.strPath, m_movie.tcStart);

    const CSettingsStore& settings = m_app.settings();
    const int nType = settings.get(Settings::ShotDetectionType);
    m_pType->button(nType >= TYPE_LIVE && nType <= TYPE_CUSTOM ? nType : TYPE_LIVE)->setChecked(true);
    m_pCustom->setText(QString::number(settings.get(Settings::ShotDetectionThreshold) / CUSTOM_SCALE));
    updateControls();
    m_pType->checkedButton()->setFocus();
}

CShotDetectDlg::~CShotDetectDlg() {
    if (m_bRunning) {
        m_thread.requestStop();
        m_thread.waitForEnd();
        m_doc.endChange();
    }
}

QString CShotDetectDlg::remainingText(int nSeconds) {
    const int m = nSeconds / 60, s = nSeconds % 60;
    return QString::asprintf("%i minute%s et %i seconde%s", m, plural(m), s, plural(s));
}

QString CShotDetectDlg::statusText(int nCount, const QString& strRemaining) {
    return (nCount == 1 ? QString::fromUtf8("%1 plan détecté — %2")
                        : QString::fromUtf8("%1 plans détectés — %2"))
        .arg(nCount)
        .arg(strRemaining);
}

int CShotDetectDlg::threshold() const {
    switch (m_pType->checkedId()) {
    case TYPE_CARTOON:
        return CARTOON_THRESHOLD;
    case TYPE_CUSTOM: {
        bool bOk = false;
        const int n = m_pCustom->text().toInt(&bOk);
        return bOk && n > 0 && n <= CUSTOM_MAX ? n * CUSTOM_SCALE : 0;
    }
    default:
        return LIVE_THRESHOLD;
    }
}

void CShotDetectDlg::OnStartStop() {
    if (m_bRunning)
        stop();
    else
        start();
}

void CShotDetectDlg::start() {
    const int nThreshold = threshold();
    if (nThreshold <= 0) {
        Click::play();
        m_pCustom->setFocus();
        return;
    }
    const int nStart = m_movie.tcStart.getFrames() / PROGRESS_UNIT;
    m_pProgress->setRange(nStart, std::max(nStart, m_movie.tcEnd.getFrames() / PROGRESS_UNIT));
    m_pProgress->setValue(nStart);
    m_nCount = 0;
    m_pStatus->setText(QString::fromUtf8("0 plan détecté — temps inconnu"));
    m_nStartSeconds = m_now();
    m_bRunning = true;
    updateControls();
    // Every cut of the run is one step of the undo history.
    m_doc.beginChange(QString::fromUtf8("Détection des changements de plan"));
    m_thread.startSearch(m_movie.tcStart, nThreshold);
}

void CShotDetectDlg::stop() {
    m_thread.requestStop();
    m_thread.waitForEnd();
    // The cuts reported before the stop are kept.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (m_bRunning) OnEnd();
}

void CShotDetectDlg::OnShotDetected(int nFrames) {
    if (!m_bRunning) return;
    CTraceLog& log = m_app.log();
    log.Log("CShotDetectDlg::OnShotDetected(%i, %i)\n", nFrames, 0);
    const CTimeCode tc = CTimeCode::fromFrames(nFrames);
    log.Log("=> %s\n", tc.getText());
    if (m_doc.script().addShot(tc)) m_doc.UpdateAllViews(nullptr, NOTHING);
    ++m_nCount;
    m_pProgress->setValue(nFrames / PROGRESS_UNIT);

    const qint64 nElapsed = m_now() - m_nStartSeconds;
    const qint64 nFrom = m_movie.tcStart.getFrames();
    QString strRemaining = QStringLiteral("temps inconnu");
    if (nFrames != nFrom) {
        const qint64 nLeft = (m_movie.tcEnd.getFrames() - nFrom) * nElapsed / (nFrames - nFrom) - nElapsed;
        strRemaining = remainingText(int(std::max<qint64>(0, nLeft)));
    }
    m_pStatus->setText(statusText(m_nCount, strRemaining));
}

void CShotDetectDlg::OnEnd() {
    if (!m_bRunning) return;
    m_bRunning = false;
    // A run that found something leaves the document modified.
    m_doc.endChange();
    updateControls();
    m_app.prompts().information(QString::fromUtf8("La détection des changements de plan est terminée."));
}

void CShotDetectDlg::updateControls() {
    m_pTypeBox->setEnabled(!m_bRunning);
    m_pCustom->setEnabled(!m_bRunning && m_pType->checkedId() == TYPE_CUSTOM);
    m_pProgress->setEnabled(m_bRunning);
    m_pClose->setEnabled(!m_bRunning);
    m_pStart->setText(m_bRunning ? QString::fromUtf8("Arrêter") : QString::fromUtf8("Démarrer"));
}

void CShotDetectDlg::storeSettings() {
    CSettingsStore& settings = m_app.settings();
    settings.set(Settings::ShotDetectionType, std::max(0, m_pType->checkedId()));
    bool bOk = false;
    const int nCustom = m_pCustom->text().toInt(&bOk);
    if (bOk && nCustom > 0) settings.set(Settings::ShotDetectionThreshold, nCustom * CUSTOM_SCALE);
}

void CShotDetectDlg::accept() {
    if (m_bRunning) return;
    storeSettings();
    QDialog::accept();
}

void CShotDetectDlg::reject() {
    // The window cannot be closed while the search runs: "Arrêter" first.
    if (m_bRunning) return;
    storeSettings();
    QDialog::reject();
}
