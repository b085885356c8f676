#include "sync/ui/WorkingCopyProgress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CWorkingCopyProgressDlg::CWorkingCopyProgressDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_pText(new QLabel(this)),
      m_pBar(new QProgressBar(this)), m_pTimeLeft(new QLabel(this)),
      m_pCancel(new QPushButton(QStringLiteral("Annuler"), this)) {
    setWindowTitle(QStringLiteral("Copie de travail"));
    setModal(false);
    m_pBar->setRange(0, 1000);
    m_pBar->setTextVisible(false);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pText);
    pLayout->addWidget(m_pBar);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pTimeLeft, 1);
    pRow->addWidget(m_pCancel);
    pLayout->addLayout(pRow);
    setMinimumWidth(420);
    connect(m_pCancel, &QPushButton::clicked, this, &CWorkingCopyProgressDlg::cancelled);
}

QString CWorkingCopyProgressDlg::timeLeftText(int nSeconds) {
    if (nSeconds < 0) return QStringLiteral("Temps restant : calcul en cours");
    if (nSeconds < 60) return QStringLiteral("Temps restant : %1 s").arg(nSeconds);
    if (nSeconds < 3600)
        return QStringLiteral("Temps restant : %1 min %2 s")
            .arg(nSeconds / 60)
            .arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("Temps restant : %1 h %2 min")
        .arg(nSeconds / 3600)
        .arg(nSeconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

void CWorkingCopyProgressDlg::setProgress(const QString& strMovie, double dDone, int nSecondsLeft) {
    const int nPercent = int(dDone * 100.0);
    m_pText->setText(
        QStringLiteral("Création de la copie de travail de « %1 » : %2 %").arg(strMovie).arg(nPercent));
    m_pBar->setValue(int(dDone * 1000.0));
    m_pTimeLeft->setText(timeLeftText(nSecondsLeft));
}

QString CWorkingCopyProgressDlg::text() const {
    return m_pText->text();
}

QString CWorkingCopyProgressDlg::timeLeft() const {
    return m_pTimeLeft->text();
}

CWorkingCopyCacheWidget::CWorkingCopyCacheWidget(CWorkingCopyController& controller, QWidget* pParent)
    : QWidget(pParent), m_controller(controller), m_pSize(new QLabel(this)),
      m_pClear(new QPushButton(QStringLiteral("Vider le cache"), this)) {
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pSize, 1);
    pLayout->addWidget(m_pClear);
    connect(m_pClear, &QPushButton::clicked, this, &CWorkingCopyCacheWidget::clear);
    connect(&m_controller, &CWorkingCopyController::stateChanged, this, &CWorkingCopyCacheWidget::refresh);
    refresh();
}

QString CWorkingCopyCacheWidget::sizeText(qint64 nBytes) {
    if (nBytes <= 0) return QStringLiteral("Copies de travail : aucune");
    const QLocale french(QLocale::French);
    const double dMega = double(nBytes) / (1024.0 * 1024.0);
    if (dMega < 1024.0)
        return QStringLiteral("Copies de travail : %1 Mo")
            .arg(french.toString(dMega, 'f', dMega < 10.0 ? 1 : 0));
    return QStringLiteral("Copies de travail : %1 Go").arg(french.toString(dMega / 1024.0, 'f', 1));
}

void CWorkingCopyCacheWidget::refresh() {
    m_pSize->setText(sizeText(m_controller.cacheSize()));
}

QString CWorkingCopyCacheWidget::text() const {
    return m_pSize->text();
}

void CWorkingCopyCacheWidget::showEvent(QShowEvent* pEvent) {
    refresh();
    QWidget::showEvent(pEvent);
}

void CWorkingCopyCacheWidget::clear() {
    if (!m_controller.clearCache())
        QMessageBox::critical(this, QStringLiteral("Tavorin"),
                              QStringLiteral("Certaines copies de travail n'ont pas pu être supprimées."));
    refresh();
}
