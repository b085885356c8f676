#include "ScriptCompare.h"
#include "ScriptGenerator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

namespace {
CTimeCode tc(const char* s) {
    return CTimeCode(s);
}

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& data) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Bookmarks : IBookmarkSink {
    void addBookmark(const CTimeCode& t, const QString& label) override { list.append({t, label}); }
    QList<QPair<CTimeCode, QString>> list;
};

const QString demoPath = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");

void roundTrip(const CVarE& original) {
    QTemporaryDir dir;
    const QString path = dir.filePath("rt.vare");
    CVarE copy;
    copy.copyFrom(original);
    ASSERT_TRUE(copy.store(path));
    CVarE back;
    ASSERT_TRUE(back.load(path));
    EXPECT_TRUE(sameScript(original, back));
}
} // namespace

TEST(VarEFormat, DemoRoundTrip) {
    CVarE demo;
    Bookmarks marks;
    ASSERT_TRUE(demo.load(demoPath, &marks));
    EXPECT_GE(demo.getLineCount(), 30);
    EXPECT_EQ(marks.list.size(), 2);
    roundTrip(demo);
}

TEST(VarEFormat, GeneratedRoundTrips) {
    for (int n : {1000, 50000}) {
        CVarE v;
        generateScript(v, n, unsigned(n));
        ASSERT_EQ(v.getLineCount(), n);
        roundTrip(v);
    }
}

TEST(VarEFormat, TextSignsAndBreaks) {
    CVarE v;
    v.clear(); // as a document does: no timestamp without a picture
    CRole r(QStringLiteral("Léa"));
    r.setId(QStringLiteral("lea"));
    r.setColor(0xFF8000);
    r.setImage(QStringLiteral("/9j/4AAQSkZJRgABAQ=="));
    auto itRole = v.addRole(r).first;

    CLine a; // "Oui" CR LF "non" between two linked signs
    a.setTrack(1);
    a.insertSign(tc("00:00:01:00"), CLipSync::IN_OPEN, true, 0);
    a.insertText(QStringLiteral("Oui\r\nnon"), -1);
    a.insertSign(tc("00:00:02:00"), CLipSync::OUT_CLOSE, true, -1);
    a.setRole(&*itRole);
    v.addLine(a);

    CLine b; // one character, no linked sign
    b.setTrack(2);
    b.insertText(QStringLiteral("A"), -1);
    b.insertSign(tc("00:00:03:00"), CLipSync::VOWEL_A, false);
    b.setReaction(true);
    b.setVoiceOff(true);
    v.addLine(b);

    CLine c; // text before the first linked sign, and after the last one
    c.setTrack(0);
    c.insertText(QStringLiteral("avant après"), -1);
    c.insertSign(tc("00:00:04:00"), CLipSync::MPB, true, 6);
    c.insertSign(tc("00:00:04:10"), CLipSync::NEUTRAL, false);
    v.addLine(c);

    v.set(CVarE::H_NOTES, QStringLiteral("ligne 1\r\nligne 2"));
    v.addLoop(CLoop(tc("00:00:00:10"), 1));
    v.addLoop(CLoop(tc("00:00:02:10"), 2));
    v.addLoop(CLoop(tc("00:00:05:00"), 5));

    QTemporaryDir dir;
    const QString path = dir.filePath("t.vare");
    ASSERT_TRUE(v.store(path));
    const QByteArray xml = readFile(path);
    EXPECT_TRUE(xml.contains("<text>Oui</text>")) << xml.constData();
    EXPECT_TRUE(xml.contains("<br/>"));
    EXPECT_TRUE(xml.contains("<text>non</text>"));
    EXPECT_TRUE(xml.contains("color=\"#FF8000\""));
    EXPECT_TRUE(xml.contains("ligne 1\nligne 2"));
    EXPECT_FALSE(xml.contains('\r'));
    EXPECT_TRUE(xml.contains("link=\"off\""));
    EXPECT_TRUE(xml.contains("type=\"reac\""));
    EXPECT_TRUE(xml.contains("voice=\"off\""));

    CVarE back;
    ASSERT_TRUE(back.load(path));
    EXPECT_TRUE(sameScript(v, back));
    EXPECT_EQ(back.get(CVarE::H_NOTES), "ligne 1\r\nligne 2");
    std::vector<int> numbers;
    for (const CLoop& l : back.getLoops())
        numbers.push_back(l.getNumber());
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 5}));
    // Adding a loop later renumbers the loops after it.
    back.addLoop(CLoop(tc("00:00:01:00"), 0));
    numbers.clear();
    for (const CLoop& l : back.getLoops())
        numbers.push_back(l.getNumber());
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4}));
}

TEST(VarEFormat, ReadsWhatOtherWritersWrite) {
    QTemporaryDir dir;
    // Roles without ids, a sign with link="off" between two texts, "tc" attributes, header variants.
    const QString path = writeFile(dir, "other.vare", R"(<?xml version="1.0" encoding="UTF-8"?>
<vare><header><episode season="2" title="Titre">12</episode><author name="Ancien" firstname="A"/>
<videofile timestamp="10:00:00:00" last_position="10:00:05:00">film.mov</videofile>
<last_position tc="10:00:06:00" track="2"/></header>
<roles><role name="Léa" color="#00ff00"/><role name="Léa" color="#0000FF"/><role name="Marc" gender="robot" color="rouge"/></roles>
<body><line role="lea" track="3"><lipsync tc="00:00:01:00" type="in_open"/><text>Bon</text>
<lipsync tc="00:00:01:10" type="mpb" link="off"/><text>jour</text><lipsync timecode="00:00:02:00" type="weird"/></line>
<line role="inconnu" track="0"><lipsync timecode="00:00:03:00" type="in_open"/><text>x</text></line>
<line track="1"><text>sans signe</text></line>
<bookmark><tc>10:00:00:12</tc><label>ici</label></bookmark><bookmark><tc>99:00:00:00</tc><label>non</label></bookmark>
<loop tc="00:00:00:05" number="0"/></body></vare>)");
    CVarE v;
    Bookmarks marks;
    ASSERT_TRUE(v.load(path, &marks));
    ASSERT_EQ(v.getRoles().size(), 3u);
    const CRole& lea = *v.findRoleByName("Léa");
    EXPECT_EQ(lea.getId(), "lea");
    EXPECT_EQ(lea.getColor(), 0x00FF00u); // the first of the two keeps the name
    EXPECT_EQ(v.findRoleByName("Léa (2)")->getColor(), 0x0000FFu);
    EXPECT_EQ(v.findRoleByName("Marc")->getColor(), 0u);
    EXPECT_EQ(v.findRoleByName("Marc")->getGender(), CRole::GENDER_NEUTRAL);

    ASSERT_EQ(v.getLineCount(), 2); // the phrase without a sign is skipped
    const CLine& l = *v.getLineAt(3, tc("00:00:01:05"));
    ASSERT_TRUE(l.hasRole());
    EXPECT_EQ(l.getRole().getName(), "Léa");
    EXPECT_EQ(l.getText(), "Bonjour");
    EXPECT_EQ(l.getLength(), 9); // Bon|jour with two linked signs: the unlinked one takes no place
    EXPECT_EQ(l.getSigns()[2].getLink(), 8);
    EXPECT_EQ(l.getSigns()[2].getType(), CLipSync::NEUTRAL); // unknown type name
    EXPECT_FALSE(v.getLineAt(0, tc("00:00:03:00"))->hasRole());

    EXPECT_EQ(v.get(CVarE::H_EPISODE_NUMBER), "12");
    EXPECT_EQ(v.get(CVarE::H_SEASON), "2");
    EXPECT_EQ(v.get(CVarE::H_FIRST_AUTHOR_NAME), "Ancien");
    EXPECT_EQ(v.getTimeStamp(), tc("10:00:00:00"));
    EXPECT_EQ(v.getLastPosition(), tc("10:00:06:00"));
    EXPECT_EQ(v.getLastTrack(), 2);
    ASSERT_EQ(marks.list.size(), 1);
    EXPECT_EQ(marks.list[0].second, "ici");
    ASSERT_EQ(v.getLoops().size(), 1u);
    EXPECT_EQ(v.getLoops().begin()->getNumber(), 1);
}

TEST(VarEFormat, BrokenFilesFailCleanly) {
    QTemporaryDir dir;
    CVarE v;
    EXPECT_FALSE(v.load(dir.filePath("absent.vare")));
    EXPECT_FALSE(v.load(writeFile(dir, "empty.vare", "")));
    EXPECT_FALSE(v.load(writeFile(dir, "bad.vare", "<vare><roles></vare>")));
    EXPECT_FALSE(v.load(writeFile(dir, "noroles.vare", "<vare><body/></vare>")));
    EXPECT_FALSE(v.load(writeFile(dir, "nobody.vare", "<vare><roles/></vare>")));
    EXPECT_FALSE(v.load(writeFile(dir, "binary.vare", QByteArray("\x00\xff\xfe<\x01", 5))));
    EXPECT_EQ(v.getLineCount(), 0);
    EXPECT_TRUE(v.load(writeFile(dir, "minimal.vare", "<vare><roles/><body/></vare>")));

    // An entity bomb stops at the expansion limit instead of eating the memory.
    QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE vare [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c)
        bomb += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&") + char(c - 1) + ";" + QByteArray("&") +
                char(c - 1) + ";" + QByteArray("&") + char(c - 1) + ";&" + char(c - 1) + ";&" + char(c - 1) +
                ";&" + char(c - 1) + ";&" + char(c - 1) + ";&" + char(c - 1) + ";&" + char(c - 1) + ";&" +
                char(c - 1) + ";\">";
    bomb += "]><vare><header><title>&k;</title></header><roles/><body/></vare>";
    EXPECT_FALSE(v.load(writeFile(dir, "bomb.vare", bomb)));

    // External entities and DTDs are never fetched: the file's own content is all that is read.
    const QString secret = writeFile(dir, "secret.txt", "SECRET");
    const QByteArray xxe = "<?xml version=\"1.0\"?><!DOCTYPE vare SYSTEM \"http://127.0.0.1:1/x.dtd\" "
                           "[<!ENTITY s SYSTEM \"file://" +
                           secret.toUtf8() +
                           "\">]><vare><header><title>&s;</title></header><roles/><body/></vare>";
    if (v.load(writeFile(dir, "xxe.vare", xxe))) {
        EXPECT_FALSE(v.get(CVarE::H_TITLE).contains("SECRET"));
    }
}

TEST(VarEFormat, TracksOutsideTheBandAreClamped) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "tracks.vare", R"(<vare><roles/><body>
<line track="4"><lipsync timecode="00:00:01:00" type="in_open"/><text>quatre</text></line>
<line track="-2"><lipsync timecode="00:00:02:00" type="in_open"/><text>moins</text></line>
<line track="99abc"><lipsync timecode="00:00:03:00" type="in_open"/><text>loin</text></line>
<line track="2"><lipsync timecode="00:00:04:00" type="in_open"/><text>deux</text></line></body></vare>)");
    CVarE v;
    ASSERT_TRUE(v.load(path));
    std::vector<int> tracks;
    for (const CLine& l : v.getLines())
        tracks.push_back(l.getTrack());
    EXPECT_EQ(tracks, (std::vector<int>{3, 0, 3, 2}));
    EXPECT_EQ(v.getTrackCount(), 4);
}

// Bookmarks are written when given, as the reader reads them, and survive a save.
TEST(VarEFormat, BookmarksRoundTrip) {
    CVarE v;
    v.clear();
    CBookmarkArray marks;
    marks.addBookmark(tc("10:00:00:12"), QStringLiteral("ici"));
    marks.addBookmark(tc("10:01:00:00"), QStringLiteral("« là » & <ailleurs>"));
    marks.addBookmark(TC_INVALID, QStringLiteral("nulle part"));
    QTemporaryDir dir;
    ASSERT_TRUE(v.store(dir.filePath("b.vare"), &marks));
    CBookmarkArray back;
    CVarE w;
    ASSERT_TRUE(w.load(dir.filePath("b.vare"), &back));
    ASSERT_EQ(back.m_items.size(), 2u);
    EXPECT_EQ(back.m_items[0].first, tc("10:00:00:12"));
    EXPECT_EQ(back.m_items[0].second, "ici");
    EXPECT_EQ(back.m_items[1].first, tc("10:01:00:00"));
    EXPECT_EQ(back.m_items[1].second, "« là » & <ailleurs>");

    // Without a source none are written.
    ASSERT_TRUE(v.store(dir.filePath("none.vare")));
    EXPECT_FALSE(readFile(dir.filePath("none.vare")).contains("bookmark"));
}

TEST(VarEFormat, FrameRateRoundTrip) {
    QTemporaryDir dir;
    CVarE v;
    v.setFrameRate(30);
    v.setDropFrame(true);
    ASSERT_TRUE(v.store(dir.filePath("r.vare")));
    CVarE back;
    ASSERT_TRUE(back.load(dir.filePath("r.vare")));
    EXPECT_EQ(back.getFrameRate(), 30);
    EXPECT_TRUE(back.isDropFrame());
    v.setFrameRate(24);
    v.setDropFrame(false);
    ASSERT_TRUE(v.store(dir.filePath("r.vare")));
    ASSERT_TRUE(back.load(dir.filePath("r.vare")));
    EXPECT_EQ(back.getFrameRate(), 24);
    EXPECT_FALSE(back.isDropFrame());

    // Older files have none; a rate that cannot be is not taken.
    for (const char* header : {"", R"(<framerate rate="0" drop="on"/>)", R"(<framerate rate="-30"/>)",
                               R"(<framerate rate="100000"/>)", R"(<framerate/>)"}) {
        const QString path = writeFile(
            dir, "old.vare", QByteArray("<vare><header>") + header + "</header><roles/><body/></vare>");
        ASSERT_TRUE(back.load(path)) << header;
        EXPECT_EQ(back.getFrameRate(), 25) << header;
        EXPECT_FALSE(back.isDropFrame()) << header;
    }
}

TEST(VarEFormat, ControlCharactersStayReadable) {
    CVarE v;
    CLine l;
    l.setTrack(0);
    l.insertSign(tc("00:00:01:00"), CLipSync::IN_OPEN, true, 0);
    l.insertText(QStringLiteral("a\x01"
                                "b") +
                     QChar(0xD800) + QStringLiteral("c\U0001F600\td"),
                 -1);
    v.addLine(l);
    QTemporaryDir dir;
    ASSERT_TRUE(v.store(dir.filePath("c.vare")));
    CVarE back;
    ASSERT_TRUE(back.load(dir.filePath("c.vare")));
    // A tab is text like any other.
    EXPECT_EQ(back.getLines().begin()->getText(), QStringLiteral("a\uFFFDb\uFFFDc\U0001F600\td"));
}

TEST(VarEFormat, FailedStoreLeavesThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.vare");
    CVarE small;
    small.set(CVarE::H_TITLE, QStringLiteral("ancien"));
    ASSERT_TRUE(small.store(path));
    const QByteArray before = readFile(path);

    CVarE big;
    generateScript(big, 2000);
    // A file size limit stands in for a full disk: writes past it fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lim = old;
    lim.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &lim);
    const bool bStored = big.store(path);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(bStored);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";

    EXPECT_FALSE(big.store(dir.filePath("no/such/folder/x.vare")));
}

TEST(VarEFormat, RoleIdsAreGivenWhenRolesEnterTheScript) {
    CVarE v;
    v.clear();
    auto lea = v.addRole(CRole(QStringLiteral("Léa"))).first;
    EXPECT_EQ(lea->getId(), "lea");
    CRole taken(QStringLiteral("Autre"));
    taken.setId(QStringLiteral("lea"));
    EXPECT_EQ(v.addRole(taken).first->getId(), "autre"); // an id another role holds is made again
    CRole twice(QStringLiteral("Lea"));
    EXPECT_EQ(v.addRole(twice).first->getId(), "lea_1");
    v.updateRole(v.findRoleByName("Autre"), [](CRole& r) { r.setId(QStringLiteral("lea_1")); });
    EXPECT_EQ(v.findRoleByName("Autre")->getId(), "autre");
    CLine l;
    l.setTrack(0);
    l.insertSign(tc("00:00:01:00"), CLipSync::IN_OPEN, true, 0);
    l.setRole(&*lea);
    v.addLine(l);

    // Saving is no change: twice the same bytes, and the script equal to itself read back.
    QTemporaryDir dir;
    const CVarE& saved = v;
    ASSERT_TRUE(saved.store(dir.filePath("r.vare")));
    ASSERT_TRUE(saved.store(dir.filePath("r2.vare")));
    EXPECT_EQ(readFile(dir.filePath("r.vare")), readFile(dir.filePath("r2.vare")));
    CVarE back;
    ASSERT_TRUE(back.load(dir.filePath("r.vare")));
    EXPECT_TRUE(back == v);
    EXPECT_EQ(back.getLines().begin()->getRole().getName(), "Léa");

    // A file where two roles share an id: its phrases go to the first in name order, as they always
    // did, and the roles leave the reader with ids of their own.
    const QString path =
        writeFile(dir, "dup.vare", R"(<vare><roles><role name="Bob" id="x"/><role name="Alice" id="x"/>
</roles><body><line role="x" track="0"><lipsync timecode="00:00:01:00" type="in_open"/></line></body></vare>)");
    ASSERT_TRUE(back.load(path));
    ASSERT_TRUE(back.getLines().begin()->hasRole());
    EXPECT_EQ(back.getLines().begin()->getRole().getName(), "Alice");
    EXPECT_NE(back.findRoleByName("Alice")->getId(), back.findRoleByName("Bob")->getId());
}

// What a damaged file holds is kept where it can be, and every change is told.
TEST(VarEFormat, RepairsAreKeptAndTold) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "damaged.vare", R"(<vare><roles>
<role name="Léa" id="lea" color="#FF0000"/><role name="Léa" id="lea2" color="#00FF00"/></roles><body>
<line track="1" role="lea"><lipsync timecode="00:00:01:00" type="in_open"/><text>premier</text></line>
<line track="1" role="lea2"><lipsync timecode="00:00:01:00" type="in_open"/><text>second</text></line>
<line track="0" role="lea2"><lipsync timecode="00:00:05:00" type="in_open"/><text>troisième</text>
<lipsync timecode="00:00:05:00" type="mpb"/></line>
<line track="7" role="personne"><lipsync timecode="00:00:09:00" type="in_open"/><text>perdu</text></line>
<line track="0"><text>sans temps</text></line>
<loop timecode="00:00:02:00" number="1"/><loop timecode="00:00:02:00" number="2"/>
</body></vare>)");
    CVarE v;
    ASSERT_TRUE(v.load(path));
    // Both roles, the second under a name of its own, with its phrases.
    ASSERT_EQ(v.getRoles().size(), 2u);
    const auto second = v.findRoleByName(QStringLiteral("Léa (2)"));
    ASSERT_NE(second, v.getRoles().end());
    EXPECT_EQ(second->getGreen(), 255); // the second role's own colour
    std::map<QString, const CLine*> byText;
    for (const CLine& l : v.getLines())
        byText[l.getText()] = &l;
    ASSERT_EQ(byText.size(), 4u);
    EXPECT_EQ(byText[QStringLiteral("premier")]->getTrack(), 1);
    EXPECT_EQ(byText[QStringLiteral("premier")]->getRole().getName(), QStringLiteral("Léa"));
    // The phrase that started where another did is on a free track.
    const CLine* pMoved = byText[QStringLiteral("second")];
    ASSERT_TRUE(pMoved);
    EXPECT_NE(pMoved->getTrack(), 1);
    EXPECT_EQ(pMoved->getStartFrame(), 25);
    EXPECT_EQ(pMoved->getRolePtr(), &*second);
    EXPECT_EQ(byText[QStringLiteral("troisième")]->getRolePtr(), &*second);
    EXPECT_FALSE(byText[QStringLiteral("perdu")]->hasRole());
    EXPECT_EQ(byText[QStringLiteral("perdu")]->getTrack(), 3);

    const QString strChanges = v.getLoadChanges().join('\n');
    for (const char* psz : {"« Léa » était donné deux fois", "« Léa (2) »",
                            "(« second ») : une autre phrase commence au même endroit de la piste 2",
                            "le rôle « personne » n'existe pas", "la piste 8 n'existe pas",
                            "sans aucun signe (« sans temps »)", "1 signe(s)", "La boucle 2 à 00:00:02:00"})
        EXPECT_TRUE(strChanges.contains(QString::fromUtf8(psz))) << psz << "\n" << qPrintable(strChanges);

    // A sound file reads without a word.
    CVarE demo;
    ASSERT_TRUE(demo.load(demoPath));
    EXPECT_TRUE(demo.getLoadChanges().isEmpty()) << qPrintable(demo.getLoadChanges().join('\n'));
}
