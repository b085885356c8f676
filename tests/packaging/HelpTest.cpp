// --help, --version and the manual pages of both programs, and the desktop program's command line.
#include "Run.h"
#include "app/CommandLine.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
const QString s_strCli = QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli");
const QString s_strApp = QStringLiteral(TAVORIN_BINARY_DIR "/src/app/tavorin");
const QString s_strMan = QStringLiteral(TAVORIN_BINARY_DIR "/man/");

// Text for comparing a terminal's text with a typeset page: lower case, one space between words, no
// colons (titles are "Options :" in one and "OPTIONS" in the other).
QString normal(QString str) {
    str.replace(QChar(0x2010), '-').replace(QChar(0x2212), '-').replace(QChar(0x2019), '\'');
    str.remove(':');
    return str.toLower().simplified();
}

// The manual page as man shows it, without its layout.
QString typeset(const QString& strPage) {
    const SRun r = run("groff", {"-k", "-man", "-Tutf8", "-P-cbou", "-rLL=1000n", strPage});
    return normal(QString::fromUtf8(r.out));
}

// Every line of the help, but for the words that lead the usage lines, is in the manual page.
void expectInManual(const QByteArray& help, const QString& strManual, const QString& strWhat) {
    ASSERT_FALSE(help.isEmpty()) << strWhat.toStdString();
    static const QRegularExpression s_lead(QStringLiteral("^\\s*(Utilisation|ou) : "));
    int nLines = 0;
    for (QString str : QString::fromUtf8(help).split('\n')) {
        str.remove(s_lead);
        if (normal(str).isEmpty()) continue;
        EXPECT_TRUE(strManual.contains(normal(str))) << strWhat.toStdString() << ": " << str.toStdString();
        ++nLines;
    }
    EXPECT_GT(nLines, 3) << strWhat.toStdString();
}

QStringList commands() {
    const QString strHelp = QString::fromUtf8(run(s_strCli, {"--help"}).out);
    const QString strList = strHelp.section("Commandes :\n", 1).section("\n\n", 0, 0);
    QStringList names;
    for (const QString& str : strList.split('\n'))
        if (str.startsWith("  ") && str.at(2) != ' ') names.append(str.simplified().section(' ', 0, 0));
    return names;
}
} // namespace

TEST(Help, EveryHelpIsInItsManualPage) {
    const QString strCliManual = typeset(s_strMan + "tavorin-cli.1");
    const QString strAppManual = typeset(s_strMan + "tavorin.1");
    ASSERT_TRUE(strCliManual.contains("tavorin-cli - les scripts"));
    expectInManual(run(s_strCli, {"--help"}).out, strCliManual, "tavorin-cli --help");
    const QStringList names = commands();
    EXPECT_EQ(names.size(), 11) << names.join(' ').toStdString();
    for (const QString& strName : names)
        expectInManual(run(s_strCli, {strName, "--help"}).out, strCliManual, strName + " --help");
    expectInManual(run(s_strApp, {"--help"}, withoutDisplay()).out, strAppManual, "tavorin --help");
    // A difference is seen: a line that the page does not hold.
    EXPECT_FALSE(strCliManual.contains(normal("  --at TIMECODE         la position, hh:mm:ss:ff")));
}

TEST(Help, HelpAndVersionGoToStandardOutputWithoutADisplay) {
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"shots", "--help"},
                                    QStringList{"render-band", "x.vare", "--at", "-h"}}) {
        const SRun r = run(s_strCli, args, withoutDisplay());
        EXPECT_EQ(r.nExit, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.startsWith("Utilisation : tavorin-cli")) << r.out.constData();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    }
    for (const QString& str : {QStringLiteral("--version"), QStringLiteral("-V")})
        EXPECT_EQ(run(s_strCli, {str}).out, "tavorin-cli " TAVORIN_VERSION "\n");
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"fichier.vare", "--bavard", "-h"}}) {
        const SRun r = run(s_strApp, args, withoutDisplay());
        EXPECT_EQ(r.nExit, 0);
        EXPECT_TRUE(r.out.startsWith("Utilisation : tavorin [OPTION]... [FICHIER]\n")) << r.out.constData();
    }
    for (const QString& str : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const SRun r = run(s_strApp, {str}, withoutDisplay());
        EXPECT_EQ(r.nExit, 0);
        EXPECT_EQ(r.out, "Tavorin " TAVORIN_VERSION "\n");
    }
    // An option of neither the program nor Qt: one French line, before any window. (Qt's offscreen
    // platform stands in for a display here.)
    QProcessEnvironment env = withoutDisplay();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const SRun r = run(s_strApp, {"--bavard"}, env);
    EXPECT_EQ(r.nExit, 1);
    EXPECT_TRUE(r.err.endsWith("tavorin : option inconnue « --bavard » (aide : tavorin --help)\n"))
        << r.err.constData();
}

TEST(CommandLine, OpensTheFirstFileAndKnowsItsOptions) {
    using namespace CommandLine;
    SParsed p = parse({"tavorin"});
    EXPECT_EQ(p.eAction, ACTION_RUN);
    EXPECT_TRUE(p.strFile.isEmpty());
    // Relative names are made absolute: a second copy hands the file to the first, elsewhere.
    p = parse({"tavorin", "demo/demo.vare", "autre.vare"});
    EXPECT_EQ(p.eAction, ACTION_RUN);
    EXPECT_EQ(p.strFile, QDir::current().absoluteFilePath("demo/demo.vare"));
    p = parse({"tavorin", "--", "-bizarre.vare"});
    EXPECT_EQ(p.eAction, ACTION_RUN);
    EXPECT_EQ(p.strFile, QDir::current().absoluteFilePath("-bizarre.vare"));
    EXPECT_EQ(parse({"tavorin", "--", "--help"}).eAction, ACTION_RUN);
    // Help wins over version and over an unknown option, wherever it stands.
    EXPECT_EQ(parse({"tavorin", "--version", "--inconnue", "--help"}).eAction, ACTION_HELP);
    EXPECT_EQ(parse({"tavorin", "--inconnue", "-v"}).eAction, ACTION_VERSION);
    p = parse({"tavorin", "a.vare", "--inconnue"});
    EXPECT_EQ(p.eAction, ACTION_ERROR);
    EXPECT_TRUE(p.strMessage.contains("« --inconnue »"));
}
