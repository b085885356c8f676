// An install into a temporary prefix, as `cmake --install build --prefix DIR` makes it: every file in
// its place, and the programs running from there without the build tree.
#include "Run.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString s_strId = QStringLiteral(TAVORIN_APP_ID);
const QString s_strSource = QStringLiteral(TAVORIN_SOURCE_DIR);
const QString s_strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");

QStringList filesUnder(const QString& strFolder) {
    QStringList files;
    QDirIterator it(strFolder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(strFolder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// A font configuration that knows no font at all: a system without the band's faces.
QString writeEmptyFontConfig(const QTemporaryDir& dir) {
    const QString strPath = dir.filePath(QStringLiteral("empty-fonts.conf"));
    QFile f(strPath);
    if (f.open(QIODevice::WriteOnly))
        f.write("<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + dir.filePath("fc-cache").toUtf8() +
                "</cachedir></fontconfig>\n");
    return strPath;
}

QByteArray readAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(Install, PutsEveryFileInPlaceAndTheProgramsRunFromThere) {
    QTemporaryDir prefix;
    SRun r = run(QStringLiteral(TAVORIN_CMAKE_COMMAND),
                 {"--install", QStringLiteral(TAVORIN_BINARY_DIR), "--prefix", prefix.path()});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    const QDir p(prefix.path());

    QStringList expected = {"bin/tavorin",
                            "bin/tavorin-cli",
                            "share/applications/" + s_strId + ".desktop",
                            "share/metainfo/" + s_strId + ".metainfo.xml",
                            "share/mime/packages/" + s_strId + ".xml",
                            "share/icons/hicolor/scalable/apps/" + s_strId + ".svg",
                            "share/man/man1/tavorin.1.gz",
                            "share/man/man1/tavorin-cli.1.gz",
                            "share/tavorin/fonts/OpenSans-Light.ttf",
                            "share/tavorin/fonts/OpenSans-Regular.ttf",
                            "share/tavorin/fonts/OpenSans-Semibold.ttf",
                            "share/tavorin/fonts/OpenSans-Bold.ttf"};
    for (int n : {16, 24, 32, 48, 64, 128, 256}) {
        const QString strIcon = QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(n).arg(s_strId);
        expected.append(strIcon);
        EXPECT_EQ(QImage(p.filePath(strIcon)).size(), QSize(n, n)) << strIcon.toStdString();
    }
    for (const QString& str : expected)
        EXPECT_TRUE(QFileInfo(p.filePath(str)).isFile()) << str.toStdString();
    EXPECT_TRUE(QFileInfo(p.filePath("bin/tavorin")).isExecutable());
    EXPECT_TRUE(QFileInfo(p.filePath("bin/tavorin-cli")).isExecutable());
    // Whatever docs/ and data/ hold goes to share/tavorin, files added after this was written too.
    // With them, the page of keyboard shortcuts the build made.
    QStringList docs = filesUnder(s_strSource + "/docs") << "Raccourcis.html";
    docs.sort();
    EXPECT_EQ(filesUnder(p.filePath("share/tavorin/docs")), docs);
    EXPECT_EQ(readAll(p.filePath("share/tavorin/docs/Raccourcis.html")),
              readAll(QStringLiteral(TAVORIN_BINARY_DIR "/docs/Raccourcis.html")));
    for (const QString& str : filesUnder(s_strSource + "/data"))
        EXPECT_TRUE(QFileInfo(p.filePath("share/tavorin/" + str)).isFile()) << str.toStdString();

    // The programs run from the prefix.
    r = run(p.filePath("bin/tavorin-cli"), {"--version"});
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(r.out, "tavorin-cli 3.7.0\n");
    r = run(p.filePath("bin/tavorin"), {"--version"}, withoutDisplay());
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(r.out, "Tavorin 3.7.0\n");
    r = run(p.filePath("bin/tavorin-cli"), {"lignage", s_strDemo});
    EXPECT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("\"total\""));

    // On a system without the band's faces, the installed tavorin-cli draws the text with the faces it
    // brings, found in share/tavorin beside it: the same band as with the system's faces.
    QTemporaryDir work;
    const QStringList band = {"render-band", s_strDemo, "--at", "10:00:09:00", "--width", "800", "--out"};
    r = run(p.filePath("bin/tavorin-cli"), band + QStringList{work.filePath("system.png")}, withoutDisplay());
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    QProcessEnvironment noFonts = withoutDisplay();
    noFonts.insert("FONTCONFIG_FILE", writeEmptyFontConfig(work));
    r = run(p.filePath("bin/tavorin-cli"), band + QStringList{work.filePath("bundled.png")}, noFonts);
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_EQ(QImage(work.filePath("bundled.png")), QImage(work.filePath("system.png")));
    // The build's own tavorin-cli has no faces to bring: its band differs (the check above can fail).
    r = run(QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"),
            band + QStringList{work.filePath("none.png")}, noFonts);
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_NE(QImage(work.filePath("none.png")), QImage(work.filePath("system.png")));

    // The desktop's files are the ones validated from the sources.
    EXPECT_EQ(readAll(p.filePath("share/applications/" + s_strId + ".desktop")),
              readAll(s_strSource + "/packaging/" + s_strId + ".desktop"));
}
