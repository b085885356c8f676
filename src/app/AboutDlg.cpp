#include "app/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <mpv/client.h>
#include <xercesc/util/XercesVersion.hpp>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

namespace {
const char* const PROGRAM_LICENCE = "GPL 3.0 ou ultérieure";

QString libVersion(unsigned nVersion) {
    return QStringLiteral("%1.%2.%3").arg(nVersion >> 16).arg((nVersion >> 8) & 0xFF).arg(nVersion & 0xFF);
}

// FFmpeg says how it was built: with its GPL parts or not.
QString ffmpegLicence(const char* pszLicence) {
    QString str = QString::fromLatin1(pszLicence);
    if (str.startsWith(QLatin1String("GPL version 2 or later")))
        return QStringLiteral("GPL 2.0 ou ultérieure");
    if (str.startsWith(QLatin1String("GPL version 3 or later")))
        return QStringLiteral("GPL 3.0 ou ultérieure");
    if (str.startsWith(QLatin1String("LGPL version 2.1 or later")))
        return QStringLiteral("LGPL 2.1 ou ultérieure");
    if (str.startsWith(QLatin1String("LGPL version 3 or later")))
        return QStringLiteral("LGPL 3.0 ou ultérieure");
    return str;
}
} // namespace

std::vector<CAboutDlg::SLibrary> CAboutDlg::libraries() {
    const unsigned long nMpv = mpv_client_api_version();
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL 3.0")},
        {QStringLiteral("Xerces-C"), QString::fromLatin1(XERCES_FULLVERSIONDOT),
         QStringLiteral("Apache 2.0")},
        // mpv's sources are GPL 2 or later for the most part; Debian's libmpv links GPL 3 code.
        {QStringLiteral("libmpv"), QStringLiteral("API client %1.%2").arg(nMpv >> 16).arg(nMpv & 0xFFFF),
         QString::fromUtf8("GPL 3.0 ou ultérieure")},
        {QStringLiteral("FFmpeg libavformat"), libVersion(avformat_version()),
         ffmpegLicence(avformat_license())},
        {QStringLiteral("FFmpeg libavcodec"), libVersion(avcodec_version()),
         ffmpegLicence(avcodec_license())},
        {QStringLiteral("FFmpeg libavutil"), libVersion(avutil_version()), ffmpegLicence(avutil_license())},
        {QStringLiteral("FFmpeg libswscale"), libVersion(swscale_version()),
         ffmpegLicence(swscale_license())},
    };
}

QString CAboutDlg::text() {
    QString str = QString::fromUtf8("Tavorin %1\nBande rythmo pour les studios de doublage.\nLicence : %2\n\n"
                                    "Bibliothèques :")
                      .arg(QStringLiteral(TAVORIN_VERSION), QString::fromUtf8(PROGRAM_LICENCE));
    for (const SLibrary& lib : libraries())
        str += QStringLiteral("\n%1 %2 (%3)").arg(lib.strName, lib.strVersion, lib.strLicence);
    return str;
}

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QString::fromUtf8("À propos de Tavorin"));
    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    auto* pTitle = new QLabel(QStringLiteral("<b>Tavorin %1</b>").arg(QStringLiteral(TAVORIN_VERSION)), this);
    auto* pSummary = new QLabel(QString::fromUtf8("Bande rythmo pour les studios de doublage.\nLicence : %1")
                                    .arg(QString::fromUtf8(PROGRAM_LICENCE)),
                                this);

    const std::vector<SLibrary> libs = libraries();
    auto* pTable = new QTableWidget(int(libs.size()), 3, this);
    pTable->setHorizontalHeaderLabels(
        {QString::fromUtf8("Bibliothèque"), QStringLiteral("Version"), QStringLiteral("Licence")});
    pTable->verticalHeader()->hide();
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionMode(QAbstractItemView::NoSelection);
    for (int i = 0; i < int(libs.size()); ++i) {
        pTable->setItem(i, 0, new QTableWidgetItem(libs[size_t(i)].strName));
        pTable->setItem(i, 1, new QTableWidgetItem(libs[size_t(i)].strVersion));
        pTable->setItem(i, 2, new QTableWidgetItem(libs[size_t(i)].strLicence));
    }
    pTable->resizeColumnsToContents();
    pTable->horizontalHeader()->setStretchLastSection(true);
    pTable->setMinimumWidth(480);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* pLayout = new QVBoxLayout(this);
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pIcon);
    auto* pText = new QVBoxLayout;
    pText->addWidget(pTitle);
    pText->addWidget(pSummary);
    pHead->addLayout(pText, 1);
    pLayout->addLayout(pHead);
    pLayout->addWidget(new QLabel(QString::fromUtf8("Bibliothèques :"), this));
    pLayout->addWidget(pTable);
    pLayout->addWidget(pButtons);
}
