// tavorin-cli render-band run as a user runs it, on the demo script.
#include "CliRun.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
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

// tavorin-cli in an environment of its own.
SCliRun runIn(const QProcessEnvironment& env, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"), args);
    SCliRun r;
    if (!p.waitForFinished(60000)) return r;
    r.nExit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// No display server, and no platform forced on Qt: what a render farm or a container has.
QProcessEnvironment headless() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QByteArray head(const QString& strPath, int n) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

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
    // Anything but a whole hh:mm:ss:ff timecode of the day, not midnight.
    for (const char* pszAt : {"25:99:00:00", "abc", "10:00", "10:00:00:00:00", "10:00:00:0x", "1:00:00:00"})
        refused(
            {s_strDemo, QStringLiteral("--at"), QString::fromLatin1(pszAt), QStringLiteral("--out"), strOut},
            "n'est pas valide");
    // The format of the name, or none.
    for (const char* pszName : {"band.gif", "band", "band.png.txt"})
        refused({s_strDemo, QStringLiteral("--at"), QStringLiteral("10:00:00:00"), QStringLiteral("--out"),
                 dir.filePath(QString::fromLatin1(pszName))},
                "n'est pas pris en charge");
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

TEST(RenderBandCommand, WritesTheFormatOfTheNameAndSaysWhyItCannotWrite) {
    QTemporaryDir dir;
    const QStringList at = {s_strDemo,
                            QStringLiteral("--at"),
                            QStringLiteral("10:00:09:00"),
                            QStringLiteral("--width"),
                            QStringLiteral("400"),
                            QStringLiteral("--out")};
    const QString strPng = dir.filePath(QStringLiteral("band.png"));
    ASSERT_EQ(renderBand(at + QStringList{strPng}).nExit, 0);
    const QImage png(strPng);
    EXPECT_EQ(head(strPng, 4), QByteArray("\x89PNG"));
    // Compressed as before: less than a byte a pixel for a band (an uncompressed one takes three).
    EXPECT_LT(QFileInfo(strPng).size(), 400 * 300);
    struct SFormat {
        const char* pszName;
        QByteArray magic;
    };
    for (const SFormat& f : {SFormat{"band.jpg", "\xFF\xD8\xFF"}, SFormat{"BAND.JPEG", "\xFF\xD8\xFF"},
                             SFormat{"band.bmp", "BM"}, SFormat{"band.ppm", "P6"}}) {
        const QString strPath = dir.filePath(QString::fromLatin1(f.pszName));
        const CRun r = renderBand(at + QStringList{strPath});
        ASSERT_EQ(r.nExit, 0) << f.pszName << r.strErr.toStdString();
        EXPECT_EQ(head(strPath, int(f.magic.size())), f.magic) << f.pszName;
        const QImage image(strPath);
        ASSERT_EQ(image.size(), png.size()) << f.pszName;
        // The lossless ones hold the very pixels of the PNG.
        if (f.magic != "\xFF\xD8\xFF") {
            EXPECT_EQ(image.convertToFormat(png.format()), png) << f.pszName;
        }
    }
    const CRun r = renderBand(at + QStringList{dir.filePath(QStringLiteral("absent/band.png"))});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_EQ(r.strErr,
              QStringLiteral("Impossible d'écrire le fichier « %1 » : fichier ou dossier introuvable.\n")
                  .arg(dir.filePath(QStringLiteral("absent/band.png"))));
}

// Without any display server the band is drawn through EGL, pixel for pixel as under X; Qt's own
// complaints (no runtime folder...) never reach the user.
TEST(RenderBandCommand, DrawsTheSameBandWithoutADisplayServer) {
    QTemporaryDir dir;
    const QStringList args = {QStringLiteral("render-band"), s_strDemo, QStringLiteral("--at"),
                              QStringLiteral("10:00:09:00"), QStringLiteral("--out")};
    QProcessEnvironment env = headless();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    const QString strHeadless = dir.filePath(QStringLiteral("headless.png"));
    SCliRun r = runIn(env, args + QStringList{strHeadless});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_EQ(r.err, QByteArray());
    const QImage headlessImage(strHeadless);
    ASSERT_EQ(headlessImage.size(), QSize(1600, 300));
    EXPECT_GT(qRed(headlessImage.pixel(800, 150)), 0x90); // the reading bar

    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "no X server to compare with (run under xvfb-run)";
    QProcessEnvironment x = QProcessEnvironment::systemEnvironment();
    x.remove(QStringLiteral("QT_QPA_PLATFORM"));
    x.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    const QString strX = dir.filePath(QStringLiteral("x.png"));
    r = runIn(x, args + QStringList{strX});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_EQ(r.err, QByteArray());
    EXPECT_EQ(QImage(strX), headlessImage);
}

TEST(RenderBandCommand, WithoutOpenGL33SaysSoInFrench) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath(QStringLiteral("band.png"));
    // Mesa then offers nothing above OpenGL 3.0.
    QProcessEnvironment env = headless();
    env.insert(QStringLiteral("MESA_GL_VERSION_OVERRIDE"), QStringLiteral("3.0"));
    const SCliRun r = runIn(env, {QStringLiteral("render-band"), s_strDemo, QStringLiteral("--at"),
                                  QStringLiteral("10:00:09:00"), QStringLiteral("--out"), strOut});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_EQ(QString::fromUtf8(r.err),
              QStringLiteral(
                  "Impossible de dessiner la bande : OpenGL 3.3 n'est pas disponible sur cette machine.\n"));
    EXPECT_FALSE(QFile::exists(strOut));
}
} // namespace
