#include "vare/DetImport.h"
#include "DetWriter.h"
#include "ScriptCompare.h"
#include "vare/VarE.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

CTimeCode tc(int f) {
    return CTimeCode::fromFrames(f);
}

// Two roles, three phrases on three tracks, loops and a shot change, signs of every family.
SDetFile sampleFile() {
    SDetFile f;
    f.strTitle = QStringLiteral("Les Mystères");
    f.strEpisodeTitle = QStringLiteral("Le cœur");
    f.strProducer = QStringLiteral("Studio Nord");
    f.strAuthor = QStringLiteral("Durand");
    f.strNotes = QStringLiteral("ligne 1\r\nligne 2");
    f.nRate = 30;
    f.nDrop = 1;
    f.roles = {{QStringLiteral("Zoé"), QStringLiteral("Héroïne"), QStringLiteral("calme"), 200, 10, 20, 102,
                QStringLiteral("ignoré")},
               {QStringLiteral("Marc"), QStringLiteral("Frère"), QString(), 1, 2, 3, 101, QString()}};
    f.lines = {{0, QStringLiteral("Bonjour"), 0, 0, {7, 8}},
               {2, QStringLiteral("Œuvre’s"), 1, 1, {}},
               {1, QStringLiteral("Salut"), 0, 7, {}}};
    f.signs = {
        {1, 0, -1, -1},                    // loop
        {1, 500, -1, 0},                   // loop
        {0, 50, -1, -1},                   // shot change
        {6, 150, -1, 0},                   // closing, before its opening in the file
        {3, 100, -1, 0},                   // opening
        {7, 110, 3, 0},                    // labial before the 'j' of Bonjour
        {5, 200, -1, 1},                   // opening, closed mouth
        {16, 230, -1, 1},                  // vowel a, unlinked
        {4, 260, -1, 1},                   // closing, open mouth
        {1, 250, -1, 2},                   // loop between the other two
        {3, 300, -1, 2},  {18, 310, 0, 2}, // vowel o on the first character
        {17, 320, 2, 2},
    };
    f.nLastFrame = 1234;
    f.strVideo = QStringLiteral("/films/épisode 1.mov");
    return f;
}

// The trace line texts of a log file, without their time and indentation.
QStringList logLines(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines;
    for (const QString& raw :
         QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString str = raw.mid(raw.indexOf(QLatin1Char('\t')) + 1);
        while (str.startsWith(QLatin1Char('\t')))
            str.remove(0, 1);
        lines << str;
    }
    return lines;
}

class DetImportFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_v.log().Open(CTraceLog::TYPE_FILE, 1, m_dir.path(), QStringLiteral("det"));
    }

    QString write(const QByteArray& data, const QString& strName = QStringLiteral("test.det")) {
        const QString strPath = m_dir.filePath(strName);
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
        return strPath;
    }
    bool import(const QByteArray& data) { return importPath(write(data)); }
    bool importPath(const QString& strPath) {
        m_strPath = strPath;
        m_nLogMark = log().size();
        return m_v.importDet(m_strPath);
    }
    QStringList log() { return logLines(m_v.log().getLogPath()); }
    // Whether the last import wrote that line.
    bool logged(const QString& strLine) { return log().mid(m_nLogMark).contains(strLine); }

    const CLine& lineOnTrack(int nTrack) const {
        for (const CLine& l : m_v.getLines())
            if (l.getTrack() == nTrack) return l;
        throw std::runtime_error("no phrase on that track");
    }

    QTemporaryDir m_dir;
    CVarE m_v;
    QString m_strPath;
    qsizetype m_nLogMark = 0;
};

TEST_F(DetImportFile, ReadsHeaderRolesPhrasesSignsLoopsAndTail) {
    ASSERT_TRUE(import(sampleFile().build()));

    EXPECT_EQ(m_v.get(CVarE::H_TITLE), QStringLiteral("Les Mystères"));
    EXPECT_EQ(m_v.get(CVarE::H_EPISODE_TITLE), QStringLiteral("Le cœur"));
    EXPECT_EQ(m_v.get(CVarE::H_PRODUCER), QStringLiteral("Studio Nord"));
    EXPECT_EQ(m_v.get(CVarE::H_FIRST_AUTHOR_NAME), QStringLiteral("Durand"));
    EXPECT_EQ(m_v.get(CVarE::H_NOTES), QStringLiteral("ligne 1\r\nligne 2"));
    EXPECT_EQ(m_v.get(CVarE::H_SEASON), QString());
    EXPECT_EQ(m_v.getFrameRate(), 30);
    EXPECT_TRUE(m_v.isDropFrame());

    ASSERT_EQ(m_v.getRoles().size(), 2u);
    const CRole& zoe = *m_v.findRoleByName(QStringLiteral("Zoé"));
    EXPECT_EQ(zoe.getId(), QStringLiteral("zoe"));
    EXPECT_EQ(zoe.getDescription(), QStringLiteral("Héroïne\ncalme"));
    EXPECT_EQ(zoe.getColor(), 0xC80A14u);
    const CRole& marc = *m_v.findRoleByName(QStringLiteral("Marc"));
    EXPECT_EQ(marc.getDescription(), QStringLiteral("Frère"));
    EXPECT_EQ(marc.getColor(), 0x010203u);

    ASSERT_EQ(m_v.getLineCount(), 3);
    EXPECT_EQ(m_v.getTrackCount(), 3);
    const CLine& bonjour = lineOnTrack(0);
    EXPECT_EQ(bonjour.getText(), QStringLiteral("Bonjour"));
    ASSERT_TRUE(bonjour.hasRole());
    EXPECT_EQ(&bonjour.getRole(), &zoe);
    EXPECT_FALSE(bonjour.isVoiceOff());
    // Opening at 0, "Bon", the labial, "jour", the closing at the end.
    ASSERT_EQ(bonjour.getSigns().size(), 3);
    EXPECT_EQ(bonjour.getSigns()[0], CLipSync(CLipSync::IN_OPEN, tc(100), 0));
    EXPECT_EQ(bonjour.getSigns()[1], CLipSync(CLipSync::MPB, tc(110), 4));
    EXPECT_EQ(bonjour.getSigns()[2], CLipSync(CLipSync::OUT_CLOSE, tc(150), 9));
    EXPECT_EQ(bonjour.getTextBetween(tc(100), tc(110)), QStringLiteral("Bon"));

    const CLine& oeuvre = lineOnTrack(2);
    EXPECT_EQ(oeuvre.getText(), QStringLiteral("Œuvre’s"));
    EXPECT_TRUE(oeuvre.isVoiceOff());
    ASSERT_TRUE(oeuvre.hasRole());
    EXPECT_EQ(oeuvre.getRole().getName(), QStringLiteral("Marc"));
    ASSERT_EQ(oeuvre.getSigns().size(), 3);
    EXPECT_EQ(oeuvre.getSigns()[0], CLipSync(CLipSync::IN_CLOSE, tc(200), 0));
    EXPECT_EQ(oeuvre.getSigns()[1], CLipSync(CLipSync::VOWEL_A, tc(230), -1));
    EXPECT_EQ(oeuvre.getSigns()[2], CLipSync(CLipSync::OUT_OPEN, tc(260), 8));

    // Role index 7 names no role: the phrase comes without one.
    const CLine& salut = lineOnTrack(1);
    EXPECT_FALSE(salut.hasRole());
    ASSERT_EQ(salut.getSigns().size(), 3);
    EXPECT_EQ(salut.getSigns()[1], CLipSync(CLipSync::VOWEL_O, tc(310), 1));
    EXPECT_EQ(salut.getSigns()[2], CLipSync(CLipSync::VOWEL_I, tc(320), 4));

    std::vector<std::pair<int, int>> loops;
    for (const CLoop& l : m_v.getLoops())
        loops.emplace_back(l.getFrames(), l.getNumber());
    EXPECT_EQ(loops, (std::vector<std::pair<int, int>>{{0, 1}, {250, 2}, {500, 3}}));
    ASSERT_EQ(m_v.getShots().size(), 1u);
    EXPECT_EQ(m_v.getShots().begin()->getFrames(), 50);

    EXPECT_EQ(m_v.get(CVarE::H_VIDEO_FILE), QStringLiteral("/films/épisode 1.mov"));
    EXPECT_EQ(m_v.getLastPosition(), tc(1234));
}

// What the import builds is saved as VarE, the document's own format, and must read back unchanged.
TEST_F(DetImportFile, ImportedScriptSurvivesVarE) {
    SDetFile f = sampleFile();
    f.bLongLengths = true;
    ASSERT_TRUE(import(f.build()));
    const QString strVarE = m_dir.filePath(QStringLiteral("converti.vare"));
    ASSERT_TRUE(m_v.store(strVarE));
    CVarE back;
    ASSERT_TRUE(back.load(strVarE));
    EXPECT_TRUE(sameScript(m_v, back));
}

TEST_F(DetImportFile, TracesEveryStep) {
    ASSERT_TRUE(import(sampleFile().build()));
    const QStringList expected = {
        QStringLiteral("VarE::importDet(%1)").arg(m_strPath),
        QStringLiteral("CVarE::clear()"),
        QStringLiteral("CVarE::clear() => Ok"),
        QStringLiteral("Lecture de l'entête du fichier det"),
        QStringLiteral("Création de la structure du document XML"),
        QStringLiteral("Lecture des attributs : "),
        QStringLiteral("Lecture de l'attribut fps"),
        QStringLiteral("Nombre de role : 2"),
        QStringLiteral("Nombre de ligne : 3"),
        QStringLiteral("Nombre de signe : 13"),
        QStringLiteral("Lecture des 2 roles"),
        QStringLiteral("role : Zoé"),
        QStringLiteral("role : Marc"),
        QStringLiteral("Lecture des 3 lignes"),
        QStringLiteral("Lecture des 13 signes"),
        QStringLiteral("Nettoyage de la mémoire"),
        QStringLiteral("VarE::importDet(%1) => Ok").arg(m_strPath),
    };
    QStringList lines = log();
    lines.removeIf([](const QString& s) {
        return s.startsWith(QLatin1String("Clearing ")) || s.startsWith(QLatin1String("Fichier log"));
    });
    EXPECT_EQ(lines, expected);
}

TEST_F(DetImportFile, RefusesBadHeadersAndRecordTags) {
    struct SCase {
        const char* pszName;
        std::function<void(SDetFile&)> change;
        QString strLine;
    };
    const std::vector<SCase> cases = {
        {"header", [](SDetFile& f) { f.nHeader = 0x67; }, QStringLiteral("En tête corrompu : 0x67")},
        {"class", [](SDetFile& f) { f.strClass = QStringLiteral("CRythme"); },
         QStringLiteral("Absence de l'objet CRythmo!")},
        {"version", [](SDetFile& f) { f.nVersion = 0x6A; }, QStringLiteral("CRythmo corrompu : 0x6A")},
        {"role", [](SDetFile& f) { f.roles[1].nTag = 99; }, QStringLiteral("CActeur corrompu : 0x63")},
        {"phrase", [](SDetFile& f) { f.lines[2].nTag = 101; }, QStringLiteral("CLigne corrompu : 0x65")},
        {"sign", [](SDetFile& f) { f.signs[4].nTag = 0x1234; }, QStringLiteral("CSigne corrompu : 0x1234")},
        {"sign 26", [](SDetFile& f) { f.signs[5].nNumber = 26; },
         QStringLiteral("Numéro de signe non supporté: 26")},
        {"sign -1", [](SDetFile& f) { f.signs[5].nNumber = -1; },
         QStringLiteral("Numéro de signe non supporté: -1")},
        {"count", [](SDetFile& f) { f.nLineCount = -5; }, QStringLiteral("Nombre corrompu : -5")},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        SDetFile f = sampleFile();
        c.change(f);
        EXPECT_FALSE(import(f.build()));
        EXPECT_TRUE(logged(c.strLine));
        EXPECT_TRUE(logged(QStringLiteral("VarE::importDet(%1) => Failed").arg(m_strPath)));
    }
    // The 0x66 header is the other accepted one.
    SDetFile f = sampleFile();
    f.nHeader = 0x66;
    EXPECT_TRUE(import(f.build()));
}

TEST_F(DetImportFile, FailureKeepsWhatWasRead) {
    SDetFile f = sampleFile();
    f.signs[6].nNumber = 26; // after the roles and phrases, before the phrases are added
    EXPECT_FALSE(import(f.build()));
    EXPECT_EQ(m_v.get(CVarE::H_TITLE), QStringLiteral("Les Mystères"));
    EXPECT_EQ(m_v.getRoles().size(), 2u);
    EXPECT_EQ(m_v.getLoops().size(), 2u);
    EXPECT_EQ(m_v.getLineCount(), 0);
}

TEST_F(DetImportFile, MapsEverySignNumber) {
    SDetFile f;
    f.lines = {{0, QStringLiteral("abc"), 0, -1, {}}};
    f.signs = {{3, 0, -1, 0}};
    for (int n = 2; n <= 25; ++n)
        if (n < 3 || n > 6) f.signs.push_back({n, 10 * n, -1, 0});
    ASSERT_TRUE(import(f.build()));
    ASSERT_EQ(m_v.getLineCount(), 1);
    const CLine& line = *m_v.getLines().begin();
    for (int n = 2; n <= 25; ++n) {
        if (n >= 3 && n <= 6) continue;
        const int i = line.getSignAt(tc(10 * n));
        ASSERT_GE(i, 0) << n;
        int nExpected = CLipSync::NEUTRAL;
        if (n >= 7 && n <= 9) nExpected = CLipSync::MPB + (n - 7);
        if (n >= 16 && n <= 18) nExpected = CLipSync::VOWEL_A + (n - 16);
        EXPECT_EQ(line.getSigns()[i].getType(), nExpected) << n;
        EXPECT_FALSE(line.getSigns()[i].isLinked()) << n;
    }
}

TEST_F(DetImportFile, PlacesLipSignsBeforeTheirCharacter) {
    SDetFile f;
    f.lines = {{0, QStringLiteral("Bonjour"), 0, -1, {}}, {1, QStringLiteral("abc"), 0, -1, {}}};
    f.signs = {
        {3, 100, -1, 0},
        {7, 110, 3, 0}, // the brief's case: index 3 after the opening at 0 is position 4
        {8, 105, 0, 0}, // on the first character, right after the opening
        {9, 115, 3, 0}, // same character as the labial, later in time: after it
        {4, 120, -1, 0},
        // Signs arriving later in time first: the earlier one still goes before it.
        {3, 200, -1, 1},
        {16, 220, 1, 1},
        {17, 210, 1, 1},
        {18, 230, 99, 1}, // past the text: at the end
    };
    ASSERT_TRUE(import(f.build()));
    const CLine& a = lineOnTrack(0);
    EXPECT_EQ(a.getLinkAt(tc(100)), 0);
    EXPECT_EQ(a.getLinkAt(tc(105)), 1);
    EXPECT_EQ(a.getLinkAt(tc(110)), 5);
    EXPECT_EQ(a.getLinkAt(tc(115)), 6);
    EXPECT_EQ(a.getLinkAt(tc(120)), 11);
    EXPECT_EQ(a.getTextBetween(tc(105), tc(110)), QStringLiteral("Bon"));
    EXPECT_EQ(a.getTextBetween(tc(115), tc(120)), QStringLiteral("jour"));

    const CLine& b = lineOnTrack(1);
    EXPECT_EQ(b.getLinkAt(tc(200)), 0);
    EXPECT_EQ(b.getLinkAt(tc(210)), 2);
    EXPECT_EQ(b.getLinkAt(tc(220)), 3);
    EXPECT_EQ(b.getLinkAt(tc(230)), 6);
}

TEST_F(DetImportFile, SkipsSignsAndPhrasesThatCannotBePlaced) {
    SDetFile f = sampleFile();
    f.lines.push_back({3, QStringLiteral("sans signe"), 0, -1, {}});
    f.signs.push_back({7, 900, 1, 4}); // one past the phrases
    f.signs.push_back({7, 910, 1, -1});
    f.signs.push_back({9, -3000000, 1, 0}); // before any day
    f.signs.push_back({8, 125, 1, 0});      // still placed after the bad ones
    ASSERT_TRUE(import(f.build()));
    EXPECT_TRUE(logged(QStringLiteral("Signe sans ligne ignoré : 4")));
    EXPECT_TRUE(logged(QStringLiteral("Signe sans ligne ignoré : -1")));
    EXPECT_TRUE(logged(QStringLiteral("Signe hors du temps ignoré : -3000000")));
    EXPECT_TRUE(logged(QStringLiteral("Ligne sans signe ignorée : 3")));
    EXPECT_EQ(m_v.getLineCount(), 3);
    // Nothing left out without a word.
    EXPECT_EQ(m_v.getLoadChanges().size(), 4) << qPrintable(m_v.getLoadChanges().join('\n'));
    EXPECT_GE(lineOnTrack(0).getSignAt(tc(125)), 0);
}

TEST_F(DetImportFile, ClampsTracksAndKeepsDuplicatePhrasesOut) {
    SDetFile f;
    f.lines = {{9, QStringLiteral("loin"), 0, -1, {}},
               {-2, QStringLiteral("avant"), 0, -1, {}},
               {3, QStringLiteral("double"), 0, -1, {}}};
    f.signs = {{3, 10, -1, 0}, {3, 20, -1, 1}, {3, 10, -1, 2}};
    ASSERT_TRUE(import(f.build()));
    EXPECT_TRUE(logged(QStringLiteral("Piste hors limites : 9")));
    EXPECT_TRUE(logged(QStringLiteral("Piste hors limites : -2")));
    // The phrase that starts where another one does on its track goes to the first free track.
    ASSERT_EQ(m_v.getLineCount(), 3);
    EXPECT_EQ(lineOnTrack(3).getText(), QStringLiteral("loin"));
    // "double" (frame 10) comes before "avant" (frame 20) on the first track.
    EXPECT_EQ(lineOnTrack(0).getText(), QStringLiteral("double"));
    const QString strChanges = m_v.getLoadChanges().join('\n');
    EXPECT_TRUE(strChanges.contains(QStringLiteral("la piste 10 n'existe pas, elle passe sur la piste 4")))
        << qPrintable(strChanges);
    EXPECT_TRUE(
        strChanges.contains(QStringLiteral("(« double ») : une autre phrase commence au même endroit de "
                                           "la piste 4, elle passe sur la piste 1")))
        << qPrintable(strChanges);
}

TEST_F(DetImportFile, ReadsLongLengthsAndWindows1252) {
    SDetFile f = sampleFile();
    f.bLongLengths = true;
    const QString strLong = QStringLiteral("é œ ’ ").repeated(100); // 600 bytes
    f.lines[0].strText = strLong;
    f.roles[0].strTrailing = QStringLiteral("x").repeated(300);
    ASSERT_TRUE(import(f.build()));
    EXPECT_EQ(m_v.get(CVarE::H_TITLE), QStringLiteral("Les Mystères"));
    EXPECT_EQ(lineOnTrack(0).getText(), strLong);
    EXPECT_EQ(m_v.getRoles().size(), 2u);
    EXPECT_EQ(m_v.get(CVarE::H_VIDEO_FILE), QStringLiteral("/films/épisode 1.mov"));
}

TEST_F(DetImportFile, VideoFileAndLastPosition) {
    SDetFile f = sampleFile();
    f.strVideo.clear();
    f.nLastFrame = 25 * 60;
    ASSERT_TRUE(import(f.build()));
    EXPECT_TRUE(m_v.get(CVarE::H_VIDEO_FILE).isEmpty());
    EXPECT_EQ(m_v.getLastPosition(), tc(1500));
}

TEST_F(DetImportFile, EveryTruncationFailsCleanly) {
    const QByteArray full = sampleFile().build();
    for (qsizetype n = 0; n < full.size(); ++n) {
        m_v.clear();
        const qint64 nBefore = QFileInfo(m_v.log().getLogPath()).size();
        ASSERT_FALSE(DetImport::parse(m_v, full.constData(), n)) << n;
        QFile file(m_v.log().getLogPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        file.seek(nBefore);
        EXPECT_TRUE(
            QString::fromUtf8(file.readAll()).contains(QLatin1String("\tFin de fichier inattendue\n")))
            << n;
    }
    // Through a file too, on a cut inside a phrase text.
    EXPECT_FALSE(import(full.left(full.indexOf("Bonjour") + 3)));
    EXPECT_TRUE(logged(QStringLiteral("Fin de fichier inattendue")));
    EXPECT_TRUE(DetImport::parse(m_v, full.constData(), full.size()));
}

TEST_F(DetImportFile, HugeCountsAndLengthsInATinyFile) {
    for (qint32 n : {0x7FFFFFFF, 0x10000000}) {
        SDetFile f;
        f.nRoleCount = n;
        f.nLineCount = n;
        f.nSignCount = n;
        EXPECT_FALSE(import(f.build()));
    }
    SDetFile f;
    f.lines = {{0, QStringLiteral("x"), 0, -1, {}}};
    f.lines[0].nIgnoredCount = 0x7FFFFFFF;
    EXPECT_FALSE(import(f.build()));

    // A 16-bit title length of 60000 with four bytes behind it.
    CDetBytes b;
    b.i32(0x68).text(QStringLiteral("CRythmo")).i32(0x69).u8(255).u16(60000).raw("abcd");
    EXPECT_FALSE(import(b.data()));
    EXPECT_TRUE(logged(QStringLiteral("Fin de fichier inattendue")));
    EXPECT_TRUE(m_v.get(CVarE::H_TITLE).isEmpty());
}

TEST_F(DetImportFile, MissingAndOversizedFiles) {
    EXPECT_FALSE(importPath(m_dir.filePath(QStringLiteral("absent.det"))));
    EXPECT_TRUE(logged(QStringLiteral("Fichier inexistant!")));
    EXPECT_FALSE(importPath(m_dir.path()));

    QByteArray data = sampleFile().build();
    const QString strPath = write(data, QStringLiteral("big.det"));
    QFile file(strPath);
    ASSERT_TRUE(file.resize(DetImport::MAX_FILE_SIZE + 1)); // sparse: nothing really written
    EXPECT_FALSE(importPath(strPath));
    EXPECT_TRUE(logged(QStringLiteral("Fichier trop volumineux")));
}

// The fuzzing seeds and the inputs that once failed: seeds import, the others never crash.
TEST(DetCorpus, ReplaysEveryKeptInput) {
    QDir dir(QStringLiteral(TAVORIN_SOURCE_DIR "/fuzz/corpus/det"));
    const QStringList names = dir.entryList(QDir::Files);
    EXPECT_FALSE(names.isEmpty());
    for (const QString& strName : names) {
        SCOPED_TRACE(qPrintable(strName));
        CVarE v;
        QFile file(dir.filePath(strName));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const bool bOk = DetImport::parse(v, data.constData(), data.size());
        if (strName.startsWith(QLatin1String("seed"))) {
            EXPECT_TRUE(bOk);
        }
    }
}

// Writes the fuzzing seeds when TAVORIN_DET_SEEDS names a folder (run by hand to refresh them).
// The kept seeds are the writer's own files: they must not drift from it. With TAVORIN_DET_SEEDS set to a
// folder, the test writes them there instead (to make them again after a change of the writer).
TEST(DetCorpus, KeptSeedsAreTheWritersFiles) {
    SDetFile longTexts = sampleFile();
    longTexts.bLongLengths = true;
    SDetFile small;
    small.strTitle = QStringLiteral("Court");
    small.lines = {{1, QStringLiteral("Oui."), 1, -1, {3}}};
    small.signs = {{5, 10, -1, 0}, {8, 12, 1, 0}, {6, 20, -1, 0}, {0, 15, -1, -1}};
    const std::pair<const char*, QByteArray> seeds[] = {
        {"seed_sample.det", sampleFile().build()},
        {"seed_long_texts.det", longTexts.build()},
        {"seed_small.det", small.build()},
    };
    const QString strOut = qEnvironmentVariable("TAVORIN_DET_SEEDS");
    const QDir corpus(QStringLiteral(TAVORIN_SOURCE_DIR "/fuzz/corpus/det"));
    for (const auto& [pszName, data] : seeds) {
        if (!strOut.isEmpty()) {
            QFile file(QDir(strOut).filePath(QString::fromLatin1(pszName)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(data);
            continue;
        }
        QFile file(corpus.filePath(QString::fromLatin1(pszName)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << pszName;
        EXPECT_EQ(file.readAll(), data) << pszName;
    }
}

} // namespace
