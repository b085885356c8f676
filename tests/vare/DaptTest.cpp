// The DAPT exchange: scripts written and read back unchanged, documents that keep DAPT's rules, the
// W3C's own examples, documents of other tools, and what must be refused.

#include "vare/Dapt.h"
#include "ScriptCompare.h"
#include "ScriptGenerator.h"
#include "vare/DaptTiming.h"
#include "vare/XmlPlatform.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

using namespace xercesc;

namespace {
const QString s_strData = QStringLiteral(TAVORIN_SOURCE_DIR "/tests/data/dapt/");

QByteArray readFile(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The script read back from its own DAPT document.
::testing::AssertionResult roundTrip(const CVarE& v, const SDaptOptions& options = {}) {
    CVarE back;
    QString strError;
    SDaptReadInfo info;
    if (!loadDapt(daptDocument(v, options), back, options.strLanguage, &strError, &info))
        return ::testing::AssertionFailure() << "refused: " << strError.toStdString();
    if (!info.warnings.isEmpty())
        return ::testing::AssertionFailure() << "warning: " << info.warnings.join('\n').toStdString();
    if (back.getFrameRate() != v.getFrameRate() || back.isDropFrame() != v.isDropFrame())
        return ::testing::AssertionFailure() << "frame rate";
    return sameScript(v, back);
}

// A document of another tool: the root with its namespaces, then the head and body given.
QByteArray document(const QString& strHead, const QString& strBody, const QString& strRoot = {}) {
    return QStringLiteral(
               "<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\""
               " xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\""
               " xmlns:daptm=\"http://www.w3.org/ns/ttml/profile/dapt#metadata\""
               " ttp:contentProfiles=\"http://www.w3.org/ns/ttml/profile/dapt1.0\" xml:lang=\"fr\""
               " daptm:scriptRepresents=\"audio.dialogue\" daptm:scriptType=\"originalTranscript\" %1>"
               "<head><metadata>%2</metadata></head><body>%3</body></tt>")
        .arg(strRoot, strHead, strBody)
        .toUtf8();
}

QString agent(const char* pszId, const char* pszName) {
    return QStringLiteral("<ttm:agent type=\"character\" xml:id=\"%1\"><ttm:name type=\"alias\">%2</ttm:name>"
                          "</ttm:agent>")
        .arg(QLatin1String(pszId), QString::fromUtf8(pszName));
}

QString event(const char* pszId, const char* pszBegin, const char* pszEnd, const char* pszAgent,
              const QString& strContent) {
    return QStringLiteral("<div xml:id=\"%1\" begin=\"%2\" end=\"%3\" ttm:agent=\"%4\" "
                          "daptm:represents=\"audio.dialogue\">%5</div>")
        .arg(QLatin1String(pszId), QLatin1String(pszBegin), QLatin1String(pszEnd), QLatin1String(pszAgent),
             strContent);
}

CLine phrase(int nTrack, int nStart, int nEnd, const QString& strText, const CRole* pRole) {
    CLine l;
    l.setTrack(nTrack);
    l.insertSign(CTimeCode::fromFrames(nStart), CLipSync::IN_OPEN, true, 0);
    l.insertText(strText, -1);
    if (nEnd > nStart) l.insertSign(CTimeCode::fromFrames(nEnd), CLipSync::OUT_CLOSE, true, -1);
    l.setRole(pRole);
    return l;
}
} // namespace

// ------------------------------------------------------------------------------------------ round trip

TEST(DaptRoundTrip, TheDemoComesBackTheSame) {
    CVarE demo;
    ASSERT_TRUE(demo.load(QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare")));
    EXPECT_TRUE(roundTrip(demo));
}

TEST(DaptRoundTrip, GeneratedScriptsComeBackTheSame) {
    // Every sign type, reactions, voice-off, loops, shot changes and four tracks.
    for (unsigned nSeed : {1u, 2u, 3u}) {
        CVarE v;
        generateScript(v, 400, nSeed);
        QSet<int> types, tracks;
        for (const CLine& l : v.getLines()) {
            tracks.insert(l.getTrack());
            for (const CLipSync& s : l.getSigns())
                types.insert(s.getType());
        }
        ASSERT_EQ(types.size(), CLipSync::TYPE_COUNT);
        ASSERT_EQ(tracks.size(), 4);
        EXPECT_TRUE(roundTrip(v)) << "seed " << nSeed;
    }
}

TEST(DaptRoundTrip, TextsAndRolesThatFoldingOrEscapingWouldChange) {
    CVarE v;
    CRole r(QStringLiteral("Léa \"la\" <grande> & co"));
    r.setColor(0xFF8000);
    r.setGender(CRole::GENDER_FEMALE);
    r.setDescription(QStringLiteral("Deux\r\nlignes\tet une tabulation"));
    r.setImage(QStringLiteral("/9j/4AAQSkZJRg=="));
    const CRole* pRole = &*v.addRole(r).first;
    const CRole* pOther = &*v.addRole(CRole(QStringLiteral("2e flic"))).first;
    v.addLine(phrase(0, 100, 150, QStringLiteral("  deux  espaces "), pRole));
    v.addLine(phrase(1, 100, 160, QStringLiteral("Oui\r\n\r\nnon & <peut-être>"), pOther));
    v.addLine(phrase(2, 200, 260, QStringLiteral("retour\rseul, tab\tet emoji \U0001F600"), nullptr));
    v.addLine(phrase(3, 200, 230, QStringLiteral("au milieu  deux espaces"), pOther));
    v.addLine(phrase(0, 300, 300, QString(), pRole)); // one sign, no text
    CLine empty;
    empty.setTrack(3);
    empty.insertSign(CTimeCode::fromFrames(400), CLipSync::IN_CLOSE, true, 0);
    empty.insertSign(CTimeCode::fromFrames(420), CLipSync::OUT_OPEN, false);
    v.addLine(empty);
    v.set(CVarE::H_NOTES, QStringLiteral("Ligne 1\r\nLigne 2"));
    v.set(CVarE::H_SUMMARY, QStringLiteral("Résumé \"cité\""));
    v.set(CVarE::H_DIRECTOR, QStringLiteral("A & B"));
    v.setTimeStamp(CTimeCode::fromFrames(50));
    v.addLoop(CLoop(CTimeCode::fromFrames(90), 5));
    v.addLoop(CLoop(CTimeCode::fromFrames(250), 9));
    v.addShot(CTimeCode::fromFrames(120));
    EXPECT_TRUE(roundTrip(v));
}

TEST(DaptRoundTrip, DropFrameAndPhrasesBeforeTheMediaKeepTheirFrames) {
    CVarE v;
    generateScript(v, 60, 4);
    v.setFrameRate(30);
    v.setDropFrame(true);
    EXPECT_TRUE(roundTrip(v));
    // A phrase before the media's first frame: times then count from 00:00:00:00.
    v.addLine(phrase(0, 10, 40, QStringLiteral("avant"), nullptr));
    EXPECT_TRUE(roundTrip(v));
    const QByteArray doc = daptDocument(v, {});
    EXPECT_TRUE(doc.contains("<daptm:daptOriginTimecode>00:00:00:00<")) << doc.left(800).constData();
}

// ------------------------------------------------------------------------------------ conformance

namespace {
QString attrNS(const DOMElement* e, const char16_t* ns, const char16_t* name) {
    return toQString(
        e->getAttributeNS(reinterpret_cast<const XMLCh*>(ns), reinterpret_cast<const XMLCh*>(name)));
}
QString attrOf(const DOMElement* e, const char16_t* name) {
    return toQString(e->getAttribute(reinterpret_cast<const XMLCh*>(name)));
}
std::vector<const DOMElement*> elements(const DOMDocument* doc, const char16_t* ns, const char16_t* name) {
    std::vector<const DOMElement*> v;
    const DOMNodeList* list =
        doc->getElementsByTagNameNS(reinterpret_cast<const XMLCh*>(ns), reinterpret_cast<const XMLCh*>(name));
    for (XMLSize_t i = 0; i < list->getLength(); ++i)
        v.push_back(static_cast<const DOMElement*>(list->item(i)));
    return v;
}
} // namespace

TEST(DaptConformance, AnExportKeepsTheDocumentRules) {
    CVarE v;
    generateScript(v, 300, 5);
    SDaptOptions options;
    options.strLanguage = QStringLiteral("de-CH");
    options.strScriptType = QStringLiteral("preRecording");
    const QByteArray data = daptDocument(v, options);
    CSafeDomParser parser(true);
    const DOMDocument* doc = parser.parse(data, "export");
    ASSERT_TRUE(doc) << parser.firstError().toStdString();
    const DOMElement* tt = doc->getDocumentElement();
    EXPECT_EQ(toQString(tt->getNamespaceURI()), QString::fromUtf16(dapt::TTML_NS));
    EXPECT_EQ(toQString(tt->getLocalName()), "tt");
    EXPECT_TRUE(attrNS(tt, dapt::TTP_NS, u"contentProfiles").split(' ').contains(dapt::PROFILE));
    EXPECT_EQ(attrNS(tt, dapt::DAPTM_NS, u"scriptRepresents"), "audio.dialogue");
    EXPECT_EQ(attrNS(tt, dapt::DAPTM_NS, u"scriptType"), "preRecording");
    EXPECT_EQ(attrNS(tt, dapt::XML_NS, u"lang"), "de-CH");
    EXPECT_FALSE(tt->hasAttributeNS(reinterpret_cast<const XMLCh*>(dapt::DAPTM_NS), u"langSrc"))
        << "the original language of a pre-recording script is unknown";
    options.strScriptType = QStringLiteral("originalTranscript");
    EXPECT_TRUE(daptDocument(v, options).contains("daptm:langSrc=\"de-CH\""));
    // What DAPT prohibits on the root.
    for (const char16_t* name : {u"dropMode", u"clockMode", u"markerMode", u"subFrameRate", u"profile"})
        EXPECT_FALSE(tt->hasAttributeNS(reinterpret_cast<const XMLCh*>(dapt::TTP_NS),
                                        reinterpret_cast<const XMLCh*>(name)));
    EXPECT_EQ(attrNS(tt, dapt::TTP_NS, u"frameRate"), "25");

    // Characters: type, identifier and alias.
    QSet<QString> agents, ids;
    for (const DOMElement* a : elements(doc, dapt::TTM_NS, u"agent")) {
        EXPECT_EQ(attrOf(a, u"type"), "character");
        const QString strId = attrNS(a, dapt::XML_NS, u"id");
        EXPECT_FALSE(strId.isEmpty());
        EXPECT_FALSE(ids.contains(strId)) << strId.toStdString();
        ids.insert(strId);
        agents.insert(strId);
        const DOMElement* n = a->getFirstElementChild();
        ASSERT_TRUE(n);
        EXPECT_EQ(toQString(n->getNamespaceURI()), QString::fromUtf16(dapt::TTM_NS));
        EXPECT_EQ(toQString(n->getLocalName()), "name");
        EXPECT_EQ(attrOf(n, u"type"), "alias");
        EXPECT_FALSE(toQString(n->getTextContent()).isEmpty());
    }
    EXPECT_EQ(agents.size(), qsizetype(v.getRoles().size()));

    // Script events: an identifier of their own, ordered times that end after they begin, frames at
    // the declared rate (never clock time with frames, which DAPT prohibits), declared characters, a
    // text in the script's language.
    const auto divs = elements(doc, dapt::TTML_NS, u"div");
    ASSERT_EQ(int(divs.size()), v.getLineCount());
    long long nPrevious = -1;
    auto frames = [](const QString& str) {
        EXPECT_TRUE(str.endsWith('f')) << str.toStdString();
        bool bOk = false;
        const long long n = str.chopped(1).toLongLong(&bOk);
        EXPECT_TRUE(bOk) << str.toStdString();
        return n;
    };
    int nWithAgent = 0;
    for (const DOMElement* d : divs) {
        const QString strId = attrNS(d, dapt::XML_NS, u"id");
        ASSERT_FALSE(strId.isEmpty());
        EXPECT_FALSE(strId[0].isDigit()) << "xml:id is an NCName";
        EXPECT_FALSE(ids.contains(strId)) << strId.toStdString();
        ids.insert(strId);
        const long long nBegin = frames(attrOf(d, u"begin")), nEnd = frames(attrOf(d, u"end"));
        EXPECT_LT(nBegin, nEnd);
        EXPECT_LE(nPrevious, nBegin);
        nPrevious = nBegin;
        EXPECT_EQ(attrNS(d, dapt::DAPTM_NS, u"represents"), "audio.dialogue");
        const QString strAgent = attrNS(d, dapt::TTM_NS, u"agent");
        if (!strAgent.isEmpty()) {
            ++nWithAgent;
            EXPECT_TRUE(agents.contains(strAgent)) << strAgent.toStdString();
        }
        const DOMElement* p = d->getFirstElementChild();
        ASSERT_TRUE(p);
        EXPECT_EQ(toQString(p->getLocalName()), "p");
        EXPECT_EQ(attrNS(p, dapt::XML_NS, u"lang"), "de-CH");
    }
    EXPECT_GT(nWithAgent, 0);
    // The first event starts at media time zero plus its distance from the media's first frame.
    EXPECT_EQ(frames(attrOf(divs.front(), u"begin")),
              v.getLines().begin()->getStartFrame() - v.getTimeStamp().getFrames());
}

// ------------------------------------------------------------------------------ other tools' documents

TEST(DaptImport, TheW3CDialogueExamplesKeepTheirTextAndTimes) {
    const struct {
        const char* file;
        const char* lang;
        const char* text;
        int nTimedWord = -1; // text index of a word the document times ("1.5s" into the event)
    } cases[] = {
        {"intro-original-language.xml", "fr", "Et c'est grâce à ça qu'on va devenir riches."},
        {"intro-original-language-with-dub-language.xml", "fr",
         "Et c'est grâce à ça qu'on va devenir riches."},
        {"intro-original-language-with-dub-language.xml", "en", "And thanks to that, we're gonna get rich."},
        {"intro-original-language-with-dub-language-and-adaptation.xml", "en",
         "And thanks to that, we're gonna get rich.", 19},
        // No text in the language asked: the document's own language.
        {"intro-original-language-with-dub-language-and-adaptation.xml", "de",
         "And thanks to that, we're gonna get rich.", 19},
        {"intro-original-language-with-dub-language-and-adaptation.xml", "fr",
         "Et c'est grâce à ça qu'on va devenir riches."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CVarE v;
        QString strError;
        ASSERT_TRUE(loadDaptFile(s_strData + QLatin1String(c.file), v, QLatin1String(c.lang), &strError))
            << strError.toStdString();
        ASSERT_EQ(v.getLineCount(), 1);
        ASSERT_EQ(v.getRoles().size(), 1u);
        const CLine& l = *v.getLines().begin();
        EXPECT_EQ(l.getText(), QString::fromUtf8(c.text));
        // 10 s and 13 s at the default 25 frames a second.
        EXPECT_EQ(l.getStartFrame(), 250);
        EXPECT_EQ(l.getEndFrame(), 325);
        EXPECT_TRUE(l.getSigns().front().isOpening());
        EXPECT_TRUE(l.getSigns().back().isClosing());
        if (c.nTimedWord < 0) {
            EXPECT_EQ(l.getLinkedCount(), 2) << "the text lies between the two signs";
        } else {
            // The span timed 1.5 s into the event: a neutral sign before its first character.
            ASSERT_EQ(l.getSignCount(), 3);
            EXPECT_EQ(l.getSign(1).getType(), CLipSync::NEUTRAL);
            EXPECT_EQ(l.getSign(1).getFrames(), 288);
            EXPECT_EQ(l.toTextIndex(l.getSign(1).getLink()), c.nTimedWord);
            EXPECT_EQ(l.getTextBetween(l.getSign(1).getLink() + 1, l.getSign(2).getLink()),
                      " we're gonna get rich.");
        }
        ASSERT_TRUE(l.hasRole());
        EXPECT_EQ(l.getRole().getName(), "ASSANE");
    }
}

TEST(DaptImport, DescriptionsAreNoDialogue) {
    CVarE v;
    QString strError;
    EXPECT_FALSE(loadDaptFile(s_strData + "intro-times-and-text.xml", v, "fr", &strError));
    EXPECT_TRUE(strError.contains("dialogues")) << strError.toStdString();
    EXPECT_EQ(v.getLineCount(), 0);
}

TEST(DaptImport, OverlappingEventsGoToTracksOfTheirOwn) {
    const QString strBody =
        event("a", "1s", "3s", "c1", "<p>un</p>") + event("b", "2s", "4s", "c2", "<p>deux</p>") +
        // starts on the frame where "un" ends: the closing sign holds that frame
        event("c", "3s", "5s", "c1", "<p>trois</p>") + event("d", "6s", "7s", "c2", "<p>quatre</p>");
    CVarE v;
    QString strError;
    ASSERT_TRUE(loadDapt(document(agent("c1", "Un") + agent("c2", "Deux"), strBody), v, "fr", &strError))
        << strError.toStdString();
    std::vector<std::pair<QString, int>> got;
    for (const CLine& l : v.getLines())
        got.push_back({l.getText(), l.getTrack()});
    const std::vector<std::pair<QString, int>> want = {{"un", 0}, {"deux", 1}, {"trois", 2}, {"quatre", 0}};
    EXPECT_EQ(got, want);
}

TEST(DaptImport, MoreVoicesThanTracksAreKeptAndSaid) {
    QString strBody;
    for (int i = 0; i < 6; ++i)
        strBody += QStringLiteral("<div xml:id=\"e%1\" begin=\"%2f\" end=\"200f\" ttm:agent=\"c1\" "
                                  "daptm:represents=\"audio.dialogue\"><p>voix %1</p></div>")
                       .arg(i)
                       .arg(100 + i);
    CVarE v;
    SDaptReadInfo info;
    QString strError;
    ASSERT_TRUE(loadDapt(document(agent("c1", "Chœur"), strBody), v, "fr", &strError, &info));
    EXPECT_EQ(v.getLineCount(), 6) << "no text is lost";
    EXPECT_FALSE(info.warnings.isEmpty());
}

TEST(DaptImport, TextFollowsTtmlWhiteSpaceRules) {
    const QString strBody =
        event("a", "1s", "2s", "c1", "<p>\n   Un   deux\n  <span>trois</span> <br/>  quatre\t </p>") +
        event("b", "3s", "4s", "c1", "<p xml:space=\"preserve\"> a  b\nc</p>") +
        event("c", "5s", "6s", "c1", "<p/>");
    CVarE v;
    QString strError;
    ASSERT_TRUE(loadDapt(document(agent("c1", "Un"), strBody), v, "fr", &strError)) << strError.toStdString();
    ASSERT_EQ(v.getLineCount(), 3);
    auto it = v.getLines().begin();
    EXPECT_EQ(it->getText(), "Un deux trois\r\nquatre");
    EXPECT_EQ((++it)->getText(), " a  b\r\nc");
    EXPECT_EQ((++it)->getText(), "");
    EXPECT_EQ(it->getSignCount(), 2);
}

TEST(DaptImport, TimesAddUpThroughNestedDivsAndFollowTheDeclaredRate) {
    const QString strBody =
        QStringLiteral("<div begin=\"00:01:00\">%1</div>")
            .arg(event("a", "00:00:02.5", "4s", "c1", "<p>imbriqué</p>") +
                 QStringLiteral("<div xml:id=\"b\" begin=\"300f\" dur=\"1s\" ttm:agent=\"c1 c2\" "
                                "daptm:represents=\"audio.dialogue\"><p>ensemble</p></div>"));
    CVarE v;
    QString strError;
    ASSERT_TRUE(loadDapt(document(agent("c1", "Un") + agent("c2", "Deux") +
                                      "<daptm:daptOriginTimecode>01:00:00:00</daptm:daptOriginTimecode>",
                                  strBody, "ttp:frameRate=\"30\" ttp:frameRateMultiplier=\"1000 1001\""),
                         v, "fr", &strError))
        << strError.toStdString();
    EXPECT_EQ(v.getFrameRate(), 30);
    EXPECT_TRUE(v.isDropFrame());
    // 01:00:00;00 in drop-frame counting is frame 107892.
    const int nOrigin = 107892;
    const double dRate = 30000.0 / 1001;
    ASSERT_EQ(v.getLineCount(), 3);
    auto it = v.getLines().begin();
    EXPECT_EQ(it->getText(), "imbriqué");
    EXPECT_EQ(it->getStartFrame(), nOrigin + std::lround(62.5 * dRate));
    EXPECT_EQ(it->getEndFrame(), nOrigin + std::lround(64 * dRate));
    // Two characters saying one text: a phrase each, on two tracks.
    ++it;
    EXPECT_EQ(it->getText(), "ensemble");
    EXPECT_EQ(it->getStartFrame(), nOrigin + std::lround(60 * dRate) + 300);
    EXPECT_EQ(it->getEndFrame(), nOrigin + std::lround(60 * dRate) + 300 + std::lround(dRate));
    const auto itOther = std::next(it);
    EXPECT_EQ(itOther->getText(), "ensemble");
    EXPECT_NE(it->getTrack(), itOther->getTrack());
    EXPECT_NE(it->getRole().getName(), itOther->getRole().getName());
}

TEST(DaptImport, TextEditedElsewhereKeepsItsTimesAndDropsTheOldSigns) {
    CVarE v;
    generateScript(v, 20, 6);
    QByteArray doc = daptDocument(v, {});
    // Another tool shortens the first text to one letter.
    const qsizetype nP = doc.indexOf("<p ");
    const qsizetype nOpen = doc.indexOf('>', nP) + 1;
    doc.replace(nOpen, doc.indexOf("</p>", nOpen) - nOpen, "X");
    CVarE back;
    QString strError;
    SDaptReadInfo info;
    ASSERT_TRUE(loadDapt(doc, back, "fr", &strError, &info)) << strError.toStdString();
    ASSERT_EQ(back.getLineCount(), v.getLineCount());
    const CLine& l = *back.getLines().begin();
    EXPECT_EQ(l.getText(), "X");
    EXPECT_EQ(l.getStartFrame(), v.getLines().begin()->getStartFrame());
    EXPECT_EQ(info.warnings.size(), 1);
}

// ------------------------------------------------------------------------------------- refusals

TEST(DaptImport, WhatIsNoDaptDialogueIsRefusedWithAReason) {
    const QString strOk = event("a", "1s", "2s", "c1", "<p>un</p>");
    const struct {
        const char* what;
        QByteArray data;
        const char* reason;
    } cases[] = {
        {"empty", QByteArray(), "vide"},
        {"not XML", "<tt><p>", "XML"},
        {"truncated", document(agent("c1", "Un"), strOk).chopped(10), "XML"},
        {"a VarE script", readFile(TAVORIN_SOURCE_DIR "/demo/demo.vare"), "racine"},
        {"TTML without profile",
         "<tt xmlns=\"http://www.w3.org/ns/ttml\" "
         "xmlns:daptm=\"http://www.w3.org/ns/ttml/profile/dapt#metadata\""
         " daptm:scriptRepresents=\"audio.dialogue\"><body/></tt>",
         "contentProfiles"},
        {"tt outside TTML's namespace",
         "<tt ttp:contentProfiles=\"http://www.w3.org/ns/ttml/profile/dapt1.0\" "
         "xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\"/>",
         "racine"},
        {"no scriptRepresents",
         QByteArray(document(agent("c1", "Un"), strOk)).replace("daptm:scriptRepresents", "daptm:other"),
         "scriptRepresents"},
        {"smpte time base", document(agent("c1", "Un"), strOk, "ttp:timeBase=\"smpte\""), "smpte"},
        {"zero frame rate", document(agent("c1", "Un"), strOk, "ttp:frameRate=\"0\""), "cadence"},
        {"bad time", document(agent("c1", "Un"), event("a", "1 s", "2s", "c1", "<p>un</p>")), "1 s"},
        {"clock time out of range", document(agent("c1", "Un"), event("a", "00:61:00", "2s", "c1", "<p/>")),
         "00:61:00"},
        {"ends before it begins", document(agent("c1", "Un"), event("a", "5s", "2s", "c1", "<p>un</p>")),
         "finit avant"},
        {"beyond a day", document(agent("c1", "Un"), event("a", "25h", "26h", "c1", "<p>un</p>")),
         "24 heures"},
        {"bad origin",
         document(agent("c1", "Un") + "<daptm:daptOriginTimecode>10:00:00:30</daptm:daptOriginTimecode>",
                  strOk),
         "origine"},
        {"entity expansion",
         "<?xml version=\"1.0\"?><!DOCTYPE tt [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
         "<tt>&b;</tt>",
         "entités"},
        {"deep nesting", QByteArray(5000, '<').replace('<', "<div>").prepend("<tt>"), "imbriqués"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CVarE v;
        v.addLine(phrase(0, 10, 20, "avant", nullptr));
        QString strError;
        EXPECT_FALSE(loadDapt(c.data, v, "fr", &strError));
        EXPECT_TRUE(strError.contains(QString::fromUtf8(c.reason))) << strError.toStdString();
        EXPECT_EQ(v.getLineCount(), 0);
        EXPECT_TRUE(v.getRoles().empty());
    }
}

TEST(DaptImport, ExternalEntitiesAreNeverFetched) {
    QTemporaryDir dir;
    const QString strSecret = dir.filePath("secret.txt");
    QFile f(strSecret);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("SECRET");
    f.close();
    const QByteArray data = "<?xml version=\"1.0\"?><!DOCTYPE tt SYSTEM \"file://" + strSecret.toUtf8() +
                            "\">" + document(agent("c1", "Un"), event("a", "1s", "2s", "c1", "<p>un</p>"));
    CVarE v;
    QString strError;
    // The document type is read as empty: the script is read, and nothing of the file reaches it.
    ASSERT_TRUE(loadDapt(data, v, "fr", &strError)) << strError.toStdString();
    ASSERT_EQ(v.getLineCount(), 1);
    EXPECT_EQ(v.getLines().begin()->getText(), "un");
}

TEST(DaptImport, AFileLargerThanTheBoundIsNotRead) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath("big.xml");
    QFile f(strPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(300LL * 1024 * 1024)); // sparse
    f.close();
    CVarE v;
    QString strError;
    EXPECT_FALSE(loadDaptFile(strPath, v, "fr", &strError));
    EXPECT_TRUE(strError.contains("Mo")) << strError.toStdString();
}

// ------------------------------------------------------------------------------------------ timing

TEST(DaptTiming, TimeExpressionsAsFrames) {
    CDaptTiming t;
    const struct {
        const char* expr;
        long long frames;
    } good[] = {{"10s", 250},           {"1.5s", 38},         {"250f", 250},     {"100ms", 3},
                {"2m", 3000},           {"1h", 90000},        {"00:00:10", 250}, {"00:00:10.52", 263},
                {"100:00:00", 9000000}, {"00:00:10:05", 255}, {" 4s ", 100},     {"12.5f", 13}};
    for (const auto& g : good) {
        long long n = -1;
        EXPECT_TRUE(t.toFrames(QString::fromLatin1(g.expr), &n)) << g.expr;
        EXPECT_EQ(n, g.frames) << g.expr;
    }
    for (const char* bad : {"", "10", "s", "-1s", "1e3s", "1,5s", "10 s", "0:00:10", "00:0:10", "00:60:00",
                            "00:00:10.", "1.s", "99999999999999999999s", "400d", "00:00:10:05:01"}) {
        long long n = -1;
        EXPECT_FALSE(t.toFrames(QString::fromLatin1(bad), &n)) << bad;
    }
    CDaptTiming ntsc;
    ASSERT_TRUE(ntsc.setParameters(u"30", u"1000 1001", u"10000000"));
    long long n = 0;
    ASSERT_TRUE(ntsc.toFrames(u"60s", &n));
    EXPECT_EQ(n, 1798); // 59.94 frames a second
    ASSERT_TRUE(ntsc.toFrames(u"10000000t", &n));
    EXPECT_EQ(n, 30);
    CDaptTiming same = ntsc;
    EXPECT_FALSE(same.setParameters(u"30", u"1000", {}));
    EXPECT_FALSE(same.setParameters(u"-25", {}, {}));
    EXPECT_EQ(same.frameRate(), 30) << "a refused parameter changes nothing";
}

TEST(DaptImport, AnEventMovedElsewhereOntoAnotherOfItsTrackIsKept) {
    CVarE v;
    v.addLine(phrase(0, 100, 150, QStringLiteral("un"), nullptr));
    v.addLine(phrase(0, 200, 250, QStringLiteral("deux"), nullptr));
    QByteArray doc = daptDocument(v, {});
    ASSERT_TRUE(doc.contains("begin=\"200f\""));
    doc.replace("begin=\"200f\"", "begin=\"100f\"");
    CVarE back;
    QString strError;
    ASSERT_TRUE(loadDapt(doc, back, "fr", &strError)) << strError.toStdString();
    ASSERT_EQ(back.getLineCount(), 2);
    auto it = back.getLines().begin();
    EXPECT_EQ(it->getTrack(), 0);
    EXPECT_EQ(std::next(it)->getStartFrame(), 100);
    EXPECT_NE(std::next(it)->getTrack(), 0);
}
