// tavorin-cli render-band run as a user runs it, on the demo script.
#include "CliRun.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct CRun {
    int nExit;
    QString strErr;
};
CRun renderBand(const QStringList& args) {
    const SCliRun r = runCli(QStringList{QStringLiteral("render-band")} + args);
    return {r.nExit, QString::fromUtf8(r.err)};
}
const QString s_strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");

TEST(RenderBandCommand, DrawsTheBandOfAScriptAtAPosition) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath(QStringLiteral("band.png"));
    CRun r = renderBand(
        {s_strDemo, QStringLiteral("--at"), QStringLiteral("10:00:09:00"), QStringLiteral("--out"), strOut});
    ASSERT_EQ(r.nExit, 0) << r.strErr.toStdString();
    QImage image(strOut);
    ASSERT_EQ(image.size(), QSize(1600, 300));
    EXPECT_GT(qRed(image.pixel(800, 150)), 0x90); // the reading bar

    r = renderBand({s_strDemo, QStringLiteral("--at"), QStringLiteral("10:00:09:00"),
                    QStringLiteral("--width"), QStringLiteral("640"), QStringLiteral("--height"),
                    QStringLiteral("200"), QStringLiteral("--zoom"), QStringLiteral("6"),
                    QStringLiteral("--theme"), QStringLiteral("0"), QStringLiteral("--track"),
                    QStringLiteral("4"), QStringLiteral("--grid"), QStringLiteral("off"),
                    QStringLiteral("--out"), strOut});
    ASSERT_EQ(r.nExit, 0) << r.strErr.toStdString();
    image = QImage(strOut);
    ASSERT_EQ(image.size(), QSize(640, 200));
    // Grey theme, fourth track active: its lightest grey at the bottom, away from the bar and text.
    const QRgb active = image.pixel(20, 195), other = image.pixel(20, 140);
    EXPECT_EQ(qRed(active), qBlue(active));
    EXPECT_GT(qRed(active), 0xCC);
    EXPECT_LT(qRed(other), 0xAC);
}

TEST(RenderBandCommand, RefusesBadArgumentsWithAFrenchMessage) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath(QStringLiteral("band.png"));
    auto refused = [&](const QStringList& args, const char* pszMessage) {
        const CRun r = renderBand(args);
        EXPECT_EQ(r.nExit, 1) << pszMessage;
        EXPECT_TRUE(r.strErr.contains(QString::fromUtf8(pszMessage))) << r.strErr.toStdString();
        EXPECT_FALSE(QFile::exists(strOut));
    };
    refused(
        {s_strDemo, QStringLiteral("--at"), QStringLiteral("25:99:00:00"), QStringLiteral("--out"), strOut},
        "n'est pas valide");
    refused({s_strDemo, QStringLiteral("--at"), QStringLiteral("10:00:00:00"), QStringLiteral("--zoom"),
             QStringLiteral("9"), QStringLiteral("--out"), strOut},
            "Le zoom doit être compris entre 1 et 6.");
    refused({s_strDemo, QStringLiteral("--at"), QStringLiteral("10:00:00:00"), QStringLiteral("--grid"),
             QStringLiteral("peut-être"), QStringLiteral("--out"), strOut},
            "--grid attend on ou off.");
    refused({dir.filePath(QStringLiteral("absent.vare")), QStringLiteral("--at"),
             QStringLiteral("10:00:00:00"), QStringLiteral("--out"), strOut},
            "introuvable");
    refused({s_strDemo, QStringLiteral("--out"), strOut}, "Utilisation");
}
} // namespace
