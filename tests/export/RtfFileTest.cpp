#include "export/RtfFile.h"
#include "RtfChecker.h"
#include "export/BestFit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace {
QByteArray readAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray HEADER =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036\r\n"
    "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
    "\\uc1\r\n"
    "{\\*\\generator Tavorin v3.7.0}\r\n"
    "{\\info{\\author Jean Dupont}}\r\n";

// Opens a document, lets the test write its body, closes it and gives the body bytes.
class RtfFileTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("out.rtf"); }

    template <class F> QByteArray body(F write) {
        CRtfFile rtf;
        EXPECT_TRUE(rtf.open(path(), "Tavorin v3.7.0", "Jean Dupont"));
        write(rtf);
        EXPECT_TRUE(rtf.close());
        const QByteArray all = readAll(path());
        EXPECT_TRUE(all.startsWith(HEADER));
        EXPECT_TRUE(all.endsWith("}\r\n"));
        return all.mid(HEADER.size(), all.size() - HEADER.size() - 3);
    }
};
} // namespace

TEST_F(RtfFileTest, HeaderAndClosingBraceAreByteExact) {
    EXPECT_EQ(body([](CRtfFile&) {}), QByteArray());
    EXPECT_EQ(readAll(path()), HEADER + "}\r\n");
    EXPECT_TRUE(checkRtf(readAll(path())).bOk);
}

TEST_F(RtfFileTest, TextReplacementsStylesAndLineBreaks) {
    EXPECT_EQ(body([](CRtfFile& r) { r.writeText(18, QString::fromUtf8("Oui\u2026")); }),
              "\\plain\\fs18 Oui...");
    EXPECT_EQ(
        body([](CRtfFile& r) { r.writeText(24, "a\r\nb", CRtfFile::STYLE_BOLD, CRtfFile::ALIGN_CENTER); }),
        "\\plain\\fs24\\b\\qc a\r\\line b");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeText(36, "x", 3, CRtfFile::ALIGN_RIGHT); }),
              "\\plain\\fs36\\b\\i\\qr x");
    EXPECT_EQ(body([](CRtfFile& r) {
                  r.writeText(18, QString::fromUtf8("c\u0153ur \u2013 \u2018a\u2019 \u201Cb\u201D \u2640x"));
              }),
              "\\plain\\fs18 coeur - 'a' \"b\" x");
    // Accented letters of the code page are single bytes.
    EXPECT_EQ(body([](CRtfFile& r) { r.writeText(18, QString::fromUtf8("Épisode à €")); }),
              "\\plain\\fs18 \xC9pisode \xE0 \x80");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeText(18, "\n\n"); }), "\\plain\\fs18 \\line \\line ");
}

TEST_F(RtfFileTest, UserTextCannotBreakTheDocument) {
    // Braces and backslashes are escaped; letters outside the code page keep their identity as
    // Unicode control words with a readable fallback.
    const QString strText = QString::fromUtf8("C:\\dir {x} \\par ł ő \u4E2D \U0001F600 \x01");
    const QByteArray b = body([&](CRtfFile& r) { r.writeParagraph(strText); });
    EXPECT_EQ(b,
              "\\pard\\plain\\fs18 C:\\\\dir \\{x\\} \\\\par \\u322? \\u337o \\u20013? \\u-10179?\\u-8704? "
              "\\'01\\par\r\n");
    const CRtfCheck check = checkRtf(readAll(path()));
    ASSERT_TRUE(check.bOk) << check.errors.join("\n").toStdString();
    EXPECT_EQ(check.strText, strText.left(strText.size() - 1) + "\n"); // the control character is hidden
}

TEST_F(RtfFileTest, ParagraphsTitlesFieldsAndCells) {
    EXPECT_EQ(body([](CRtfFile& r) { r.writeParagraph(""); }), "\\pard\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) {
                  r.writeParagraph("Notes", CRtfFile::STYLE_ITALIC, CRtfFile::ALIGN_CENTER, 24);
              }),
              "\\pard\\plain\\fs24\\i\\qc Notes\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeTitle("Script", 2, false, false, CRtfFile::ALIGN_CENTER); }),
              "\\pard \\sb400\\sa300 \\plain\\fs36\\b\\qc Script\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeTitle("Boucle 1", 1, true, true, CRtfFile::ALIGN_LEFT); }),
              "\\pard \\keepn \\brdrt\\brdrs\\brdrw15\\brsp20 \\brdrb\\brdrs\\brdrw15\\brsp20 \\sb400\\sa300 "
              "\\plain\\fs18\\b Boucle 1\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeTitle("T", 3, false, false, CRtfFile::ALIGN_RIGHT); }),
              "\\pard \\sb400\\sa300 \\plain\\fs18\\b\\qr T\\par\r\n");
    EXPECT_EQ(
        body([](CRtfFile& r) { r.writeField("Titre", "Le jour"); }),
        "\\pard\\fi-1836\\li1836\\tx1836\r\n\\plain\\fs18\\b Titre\\tab: \\plain\\fs18 Le jour\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeField("Nombre", -12); }),
              "\\pard\\fi-1836\\li1836\\tx1836\r\n\\plain\\fs18\\b Nombre\\tab: \\plain\\fs18 -12\\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeFieldSpaced("PAUL", ""); }),
              "\\pard\\fi-1836\\li1836\\tx1836\\sa100\\plain\\fs18\\b PAUL\\tab: \\plain\\fs18 \\par\r\n");
    EXPECT_EQ(body([](CRtfFile& r) { r.writeCell("X", CRtfFile::STYLE_PLAIN, CRtfFile::ALIGN_CENTER, 18); }),
              "\\pard\\intbl \\plain\\fs18\\qc X\\cell\r\n");
    EXPECT_EQ(body([](CRtfFile& r) {
                  r.beginSection();
                  r.beginSection();
              }),
              "\\sectd\\sbkodd\\sect\r\n\\sectd\\sbkodd");
}

TEST_F(RtfFileTest, OpenFailuresAndAbandonedDocumentsLeaveNothing) {
    CRtfFile rtf;
    EXPECT_FALSE(rtf.open(m_dir.filePath("missing/dir/out.rtf"), "g", "a"));
    EXPECT_FALSE(rtf.isOpen());
    EXPECT_FALSE(QFile::exists(m_dir.filePath("missing/dir/out.rtf")));

    // An earlier document stays as it was while a new one is written, and when it is abandoned.
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("previous");
    f.close();
    ASSERT_TRUE(rtf.open(path(), "g", "a"));
    rtf.writeParagraph("half");
    EXPECT_EQ(readAll(path()), "previous");
    rtf.cancel();
    EXPECT_EQ(readAll(path()), "previous");
    try {
        CRtfFile r2;
        ASSERT_TRUE(r2.open(path(), "g", "a"));
        r2.writeParagraph("half");
        throw std::runtime_error("export failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(readAll(path()), "previous");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"out.rtf"}); // no temporary left

    // The destructor and a second open close the document they hold.
    {
        CRtfFile r3;
        ASSERT_TRUE(r3.open(path(), "g", "a"));
        ASSERT_TRUE(r3.open(m_dir.filePath("second.rtf"), "g", "a"));
    }
    EXPECT_TRUE(checkRtf(readAll(path())).bOk);
    EXPECT_TRUE(checkRtf(readAll(m_dir.filePath("second.rtf"))).bOk);
}

TEST_F(RtfFileTest, GeneratorAndAuthorAreEscapedToo) {
    CRtfFile rtf;
    ASSERT_TRUE(rtf.open(path(), "g}", "{Zo\xC3\xA9}"));
    ASSERT_TRUE(rtf.close());
    const QByteArray all = readAll(path());
    EXPECT_TRUE(all.contains("{\\*\\generator g\\}}\r\n{\\info{\\author \\{Zo\xE9\\}}}\r\n"));
    EXPECT_TRUE(checkRtf(all).bOk);
}

TEST(RtfChecker, RejectsBrokenDocuments) {
    EXPECT_TRUE(checkRtf("{\\rtf1 a\\par\r\n}").bOk);
    EXPECT_FALSE(checkRtf("{\\rtf1 a\\par\r\n").bOk);   // not closed
    EXPECT_FALSE(checkRtf("{\\rtf1 a}}").bOk);          // one brace too many
    EXPECT_FALSE(checkRtf("{\\rtf1 \\foo a}").bOk);     // unknown word
    EXPECT_FALSE(checkRtf("{\\rtf1 a\n}").bOk);         // bare LF
    EXPECT_FALSE(checkRtf("{\\rtf1 \\u322\\par}").bOk); // no fallback
    EXPECT_FALSE(checkRtf("x{\\rtf1 a}").bOk);
}

TEST(BestFit, BaseLettersOrQuestionMark) {
    EXPECT_EQ(encodeCp1252BestFit(QString::fromUtf8("Ça ő ŝ ł 中 \U0001F600!")), "\xC7"
                                                                                 "a o s ? ? ?!");
    EXPECT_EQ(cp1252BestFit(U'\u01C4'), '?'); // a ligature has no single base letter
}

TEST_F(RtfFileTest, AnyTextGivesAWellFormedDocumentThatReadsBack) {
    // Random texts over ASCII, the code page's upper half, RTF's reserved characters, letters beyond
    // the code page, surrogate pairs and lone surrogates.
    std::mt19937 rng(7);
    const char16_t pool[] = {u'a',
                             u'Z',
                             u' ',
                             u'\\',
                             u'{',
                             u'}',
                             u'\t',
                             u'\r',
                             u'\n',
                             u'é',
                             u'€',
                             u'\u0153',
                             u'\u2026',
                             u'\u0142',
                             u'\u4E2D',
                             char16_t(0xD83D),
                             char16_t(0xDE00),
                             u'\uFB01',
                             u'?',
                             u'0'};
    for (int nRound = 0; nRound < 100; ++nRound) {
        QString str;
        const int n = int(rng() % 40);
        for (int i = 0; i < n; ++i)
            str += QChar(pool[rng() % (sizeof pool / sizeof *pool)]);
        CRtfFile rtf;
        ASSERT_TRUE(rtf.open(path(), str, str));
        rtf.writeParagraph(str, int(rng() % 4), int(rng() % 3), 18);
        rtf.writeCell(str);
        ASSERT_TRUE(rtf.close());
        const CRtfCheck c = checkRtf(readAll(path()));
        ASSERT_TRUE(c.bOk) << c.errors.join("\n").toStdString();
        // What reads back is the text with its line breaks, without the CRs and the replaced
        // typography.
        QString strExpected = str;
        strExpected.remove(u'\r');
        strExpected.replace(QChar(u'\u0153'), QStringLiteral("oe"))
            .replace(QChar(u'\u2026'), QStringLiteral("..."));
        if (str.isEmpty())
            EXPECT_EQ(c.strText, "\n|");
        else
            EXPECT_EQ(c.strText, strExpected + "\n" + strExpected + "|");
    }
}
