// tavorin-cli info and convert, run as a user runs them.

#include "CliRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qplatformdefs.h>
#include <sys/stat.h>

namespace {
const QString s_strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");
const QString s_strDet = QStringLiteral(TAVORIN_SOURCE_DIR "/fuzz/corpus/det/seed_sample.det");
} // namespace

TEST(InfoCommand, PrintsTheDemoAsJson) {
    const SCliRun r = runCli({"info", s_strDemo});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QJsonObject h = o["header"].toObject();
    EXPECT_EQ(h["title"].toString(), "Le Phare");
    EXPECT_EQ(h["timestamp"].toString(), "10:00:00:00");
    EXPECT_EQ(h["trackCount"].toInt(), 4);
    EXPECT_EQ(h["frameRate"].toInt(), 25);
    EXPECT_EQ(h["notes"].toString(),
              QStringLiteral("Démo livrée avec Tavorin.\r\nLes boucles font environ trente secondes."));

    const QJsonArray roles = o["roles"].toArray();
    ASSERT_EQ(roles.size(), 5);
    EXPECT_EQ(roles[0].toObject()["name"].toString(), "Capitaine Le Goff"); // by name
    EXPECT_EQ(roles[0].toObject()["color"].toString(), "#7D6608");
    EXPECT_EQ(roles[0].toObject()["gender"].toString(), "male");

    const QJsonArray phrases = o["phrases"].toArray();
    ASSERT_GE(phrases.size(), 30);
    QString strPrevious;
    int nVoiceOff = 0, nReactions = 0, nMultiLine = 0;
    for (const QJsonValue& v : phrases) {
        const QJsonObject p = v.toObject();
        const QJsonArray signs = p["signs"].toArray();
        ASSERT_FALSE(signs.isEmpty());
        const QString strStart =
            signs[0].toObject()["timecode"].toString() + QString::number(p["track"].toInt());
        EXPECT_LT(strPrevious, strStart) << "script order";
        strPrevious = strStart;
        nVoiceOff += p["voiceOff"].toBool();
        nReactions += p["reaction"].toBool();
        nMultiLine += p["text"].toString().contains("\r\n");
    }
    EXPECT_GT(nVoiceOff, 0);
    EXPECT_GT(nReactions, 0);
    EXPECT_GT(nMultiLine, 0);
    EXPECT_EQ(o["loops"].toArray().size(), 4);
    EXPECT_EQ(o["bookmarks"].toArray().size(), 2);
    EXPECT_FALSE(o["shots"].toArray().isEmpty());
}

TEST(InfoCommand, ConvertKeepsBookmarks) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath("demo.vare");
    ASSERT_EQ(runCli({"convert", s_strDemo, strOut}).nExit, 0);
    const SCliRun a = runCli({"info", s_strDemo});
    const SCliRun b = runCli({"info", strOut});
    const QJsonArray marks = QJsonDocument::fromJson(b.out).object()["bookmarks"].toArray();
    EXPECT_EQ(marks.size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(a.out).object()["bookmarks"].toArray(), marks);
}

// A legacy file at 30 fps drop-frame stays so once converted.
TEST(InfoCommand, ConvertKeepsTheFrameRate) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath("det.vare");
    ASSERT_EQ(runCli({"convert", s_strDet, strOut}).nExit, 0);
    const QJsonObject a =
        QJsonDocument::fromJson(runCli({"info", s_strDet}).out).object()["header"].toObject();
    const QJsonObject b = QJsonDocument::fromJson(runCli({"info", strOut}).out).object()["header"].toObject();
    ASSERT_EQ(a["frameRate"].toInt(), 30);
    ASSERT_TRUE(a["dropFrame"].toBool());
    EXPECT_EQ(b["frameRate"].toInt(), 30);
    EXPECT_TRUE(b["dropFrame"].toBool());
}

TEST(InfoCommand, ConvertsLegacyFilesAndRefusesBadOnes) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath("det.vare");
    SCliRun r = runCli({"convert", s_strDet, strOut});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    const SCliRun a = runCli({"info", s_strDet});
    const SCliRun b = runCli({"info", strOut});
    ASSERT_EQ(a.nExit, 0);
    ASSERT_EQ(b.nExit, 0);
    QJsonObject ja = QJsonDocument::fromJson(a.out).object(), jb = QJsonDocument::fromJson(b.out).object();
    EXPECT_EQ(ja["phrases"], jb["phrases"]);
    EXPECT_EQ(ja["roles"], jb["roles"]);
    EXPECT_EQ(ja["loops"], jb["loops"]);
    EXPECT_EQ(ja["header"], jb["header"]);

    QFile bad(dir.filePath("bad.vare"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<vare><roles>");
    bad.close();
    for (const QStringList& args :
         {QStringList{"info", bad.fileName()}, QStringList{"info", dir.filePath("none.vare")},
          QStringList{"convert", bad.fileName(), dir.filePath("out.vare")},
          QStringList{"convert", s_strDemo, dir.filePath("no/such/dir/out.vare")}}) {
        r = runCli(args);
        EXPECT_EQ(r.nExit, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.vare")));
}

// A pipe (or a device) named as the output keeps its place: writing beside it and renaming over it
// would have put a file there. Every writer of the tool is refused the same way.
TEST(InfoCommand, APipeNamedAsTheOutputIsRefusedAndStays) {
    QTemporaryDir dir;
    const QString strPipe = dir.filePath("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(strPipe).constData(), 0600), 0);
    for (const QStringList& args :
         {QStringList{"convert", s_strDemo, strPipe}, QStringList{"export-subtitles", s_strDemo, strPipe},
          QStringList{"export-script", s_strDemo, strPipe}}) {
        const SCliRun r = runCli(args);
        EXPECT_EQ(r.nExit, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("ce n'est pas un fichier ordinaire")) << r.err.constData();
        QT_STATBUF st;
        ASSERT_EQ(QT_STAT(QFile::encodeName(strPipe).constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << args.join(' ').toStdString();
    }
    // A new name and a regular file are written as before.
    EXPECT_EQ(runCli({"convert", s_strDemo, dir.filePath("new.vare")}).nExit, 0);
    EXPECT_EQ(runCli({"convert", s_strDemo, dir.filePath("new.vare")}).nExit, 0);
}

// A damaged script still converts whole, and what reading changed is said on standard error; the
// converted file then reads without a word.
TEST(InfoCommand, ChangesMadeOnReadingGoToStandardError) {
    QTemporaryDir dir;
    QFile in(dir.filePath("damaged.vare"));
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(R"(<vare><roles><role name="Yann" id="y1"/><role name="Yann" id="y2"/></roles><body>
<line track="0" role="y1"><lipsync timecode="00:00:01:00" type="in_open"/><text>un</text></line>
<line track="0" role="y2"><lipsync timecode="00:00:01:00" type="in_open"/><text>deux</text></line>
</body></vare>)");
    in.close();
    const QString strOut = dir.filePath("out.vare");
    const SCliRun r = runCli({"convert", in.fileName(), strOut});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    const QString strErr = QString::fromUtf8(r.err);
    EXPECT_EQ(strErr.count('\n'), 2) << qPrintable(strErr);
    EXPECT_TRUE(strErr.contains(QStringLiteral("« Yann (2) »"))) << qPrintable(strErr);
    EXPECT_TRUE(strErr.contains(QStringLiteral("(« deux ») : une autre phrase commence au même endroit")))
        << qPrintable(strErr);

    const SCliRun info = runCli({"info", strOut});
    ASSERT_EQ(info.nExit, 0);
    EXPECT_TRUE(info.err.isEmpty()) << info.err.constData();
    const QJsonObject j = QJsonDocument::fromJson(info.out).object();
    EXPECT_EQ(j["phrases"].toArray().size(), 2);
    EXPECT_EQ(j["roles"].toArray().size(), 2);
}
