// "Détection des changements de plan...": the dialog over real movies, its texts and settings, the stop
// and the undo step.
#include "CliRun.h"
#include "TestApp.h"
#include "app/Commands.h"
#include "app/ShotDetectDlg.h"
#include "sync/CutMovies.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString s_strEnd = QString::fromUtf8("La détection des changements de plan est terminée.");

SShotMovie movieOf(const QString& strPath) {
    CFrameReader reader;
    SShotMovie movie;
    if (!reader.open(strPath)) return movie;
    movie.strPath = strPath;
    movie.tcStart = reader.getStartTimeCode();
    movie.tcEnd = reader.getEndTimeCode();
    return movie;
}

std::vector<int> shotFrames(const CVarE& script) {
    std::vector<int> frames;
    for (const CBalise& shot : script.getShots())
        frames.push_back(shot.getTimeCode().getFrames());
    return frames;
}

// What tavorin-cli shots prints, as frame counts.
std::vector<int> cliShots(const QString& strPath) {
    const SCliRun r = runCli({"shots", strPath}, 300000);
    EXPECT_EQ(r.nExit, 0) << r.err.constData();
    std::vector<int> frames;
    for (const QByteArray& line : r.out.split('\n'))
        if (!line.isEmpty()) frames.push_back(line.split('\t').first().toInt());
    return frames;
}

// Runs the dialog's search to its end.
void runToEnd(CShotDetectDlg& dlg) {
    dlg.OnStartStop();
    ASSERT_TRUE(dlg.isRunning());
    ASSERT_TRUE(waitUntil([&] { return !dlg.isRunning(); }, 300000));
}

QString demoVideo() {
    // Named after what it holds: a demo video made before it had its cuts must not be taken for it.
    const QString strPath = QStringLiteral(TAVORIN_BINARY_DIR "/test-media/demo-cuts.mov");
    if (!QFileInfo::exists(strPath)) {
        const QString strPart = strPath + QStringLiteral(".%1.mov").arg(QCoreApplication::applicationPid());
        QProcess tool;
        tool.start(QStringLiteral(TAVORIN_SOURCE_DIR "/tools/make-demo-video"), {strPart});
        if (!tool.waitForFinished(300000) || tool.exitCode() != 0 || !QFile::rename(strPart, strPath))
            ADD_FAILURE() << "make-demo-video failed: " << tool.readAllStandardError().toStdString();
        QFile::remove(strPart);
    }
    return strPath;
}

class ShotDetect : public ::testing::Test {
protected:
    STestApp t;
    void SetUp() override { ASSERT_TRUE(t.start()); }
};
} // namespace

TEST(ShotDetectTexts, SingularAndPluralOfCutsMinutesAndSeconds) {
    EXPECT_EQ(CShotDetectDlg::statusText(1, "x"), QString::fromUtf8("1 plan détecté — x"));
    EXPECT_EQ(CShotDetectDlg::statusText(2, "x"), QString::fromUtf8("2 plans détectés — x"));
    EXPECT_EQ(CShotDetectDlg::statusText(0, "x"), QString::fromUtf8("0 plans détectés — x"));
    EXPECT_EQ(CShotDetectDlg::remainingText(61), "1 minute et 1 seconde");
    EXPECT_EQ(CShotDetectDlg::remainingText(120), "2 minutes et 0 secondes");
    // Each word takes its own number.
    EXPECT_EQ(CShotDetectDlg::remainingText(62), "1 minute et 2 secondes");
    EXPECT_EQ(CShotDetectDlg::remainingText(121), "2 minutes et 1 seconde");
    EXPECT_EQ(CShotDetectDlg::remainingText(59), "0 minutes et 59 secondes");
    EXPECT_EQ(CShotDetectDlg::remainingText(3725), "62 minutes et 5 secondes");
}

TEST_F(ShotDetect, FindsTheCutsAsTheCommandLineDoesAndTellsTheTimeLeft) {
    const QString strMovie = cutMovie("cuts-mjpeg.avi", {"--codec", "mjpeg", "--cuts", "30,70,125"});
    CShotDetectDlg dlg(t.app(), t.doc(), movieOf(strMovie));
    // The default type is live; the custom field is for "Personnalisé :" only.
    EXPECT_EQ(dlg.typeGroup()->checkedId(), CShotDetectDlg::TYPE_LIVE);
    EXPECT_FALSE(dlg.customEdit()->isEnabled());
    EXPECT_EQ(dlg.customEdit()->text(), "200");
    EXPECT_FALSE(dlg.progressBar()->isEnabled());

    // A clock of our own: 30 s more at every look. The status as it stands at each look is kept.
    qint64 nNow = -30;
    QStringList statuses;
    dlg.m_now = [&] {
        statuses.append(dlg.statusLabel()->text());
        return nNow += 30;
    };
    dlg.OnStartStop();
    EXPECT_EQ(dlg.startButton()->text(), QString::fromUtf8("Arrêter"));
    EXPECT_FALSE(dlg.closeButton()->isEnabled());
    EXPECT_FALSE(dlg.typeGroup()->button(0)->isEnabled());
    EXPECT_TRUE(dlg.progressBar()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !dlg.isRunning(); }, 60000));

    EXPECT_EQ(shotFrames(t.doc().script()), (std::vector<int>{31, 71, 126}));
    EXPECT_EQ(shotFrames(t.doc().script()), cliShots(strMovie));
    EXPECT_EQ(dlg.shotCount(), 3);
    ASSERT_EQ(statuses.size(), 4);
    EXPECT_EQ(statuses[1], QString::fromUtf8("0 plan détecté — temps inconnu"));
    // 149 frames in 30 s for 31: 144 s for the whole, 114 left.
    EXPECT_EQ(statuses[2], QString::fromUtf8("1 plan détecté — 1 minute et 54 secondes"));
    EXPECT_EQ(dlg.statusLabel()->text(), QString::fromUtf8("3 plans détectés — 0 minutes et 16 secondes"));
    EXPECT_EQ(dlg.progressBar()->value(), 0);
    EXPECT_TRUE(t.prompts.told(s_strEnd));
    EXPECT_EQ(dlg.startButton()->text(), QString::fromUtf8("Démarrer"));
    EXPECT_TRUE(dlg.closeButton()->isEnabled());
    EXPECT_FALSE(dlg.progressBar()->isEnabled());

    // The whole run is one step, and the document is modified by it.
    EXPECT_TRUE(t.doc().IsModified());
    EXPECT_EQ(t.doc().journal().getUndoLabel(), QString::fromUtf8("Détection des changements de plan"));
    EXPECT_EQ(t.doc().journal().getUndoCount(), 1);
    ASSERT_TRUE(t.doc().undo());
    EXPECT_TRUE(t.doc().script().getShots().empty());
    EXPECT_FALSE(t.doc().IsModified());
    ASSERT_TRUE(t.doc().redo());
    EXPECT_EQ(t.doc().script().getShots().size(), 3u);

    // A second run finds the same cuts, already there: nothing changes, no new step.
    runToEnd(dlg);
    EXPECT_EQ(dlg.shotCount(), 3);
    EXPECT_EQ(t.doc().journal().getUndoCount(), 1);
}

TEST_F(ShotDetect, TheDemoVideoGivesTheCutsOfTheCommandLine) {
    const QString strMovie = demoVideo();
    const SShotMovie movie = movieOf(strMovie);
    ASSERT_FALSE(movie.strPath.isEmpty());
    EXPECT_EQ(movie.tcStart.toString(), "10:00:00:00");
    CShotDetectDlg dlg(t.app(), t.doc(), movie);
    runToEnd(dlg);
    EXPECT_EQ(shotFrames(t.doc().script()), cliShots(strMovie));
    EXPECT_EQ(dlg.shotCount(), int(t.doc().script().getShots().size()));
    // The cuts of the picture are the shot changes of the demo script.
    CVarE demo;
    ASSERT_TRUE(demo.load(QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare")));
    EXPECT_EQ(demo.getShots().size(), 15u);
    EXPECT_EQ(shotFrames(t.doc().script()), shotFrames(demo));
    EXPECT_TRUE(t.prompts.told(s_strEnd));

    // Key frames every 50 frames, cuts around them: the same again, and not nothing.
    STestApp other;
    ASSERT_TRUE(other.start());
    const QString strGop =
        cutMovie("cuts-gop50.mp4", {"--codec", "h264-longgop", "--gop", "50", "--size", "160x120", "--frames",
                                    "400", "--cuts", "100,151,199,302,350"});
    CShotDetectDlg gop(other.app(), other.doc(), movieOf(strGop));
    runToEnd(gop);
    EXPECT_EQ(shotFrames(other.doc().script()), (std::vector<int>{101, 152, 200, 303, 351}));
    EXPECT_EQ(shotFrames(other.doc().script()), cliShots(strGop));
}

TEST_F(ShotDetect, AStopInALongStretchIsAnsweredAtOnceAndKeepsTheCutsFound) {
    // One cut near the start, then two minutes of one shot.
    const QString strMovie = cutMovie("long-shot-720p.mp4", {"--codec", "h264-longgop", "--size", "1280x720",
                                                             "--frames", "3000", "--cuts", "10"});
    CShotDetectDlg dlg(t.app(), t.doc(), movieOf(strMovie));
    dlg.OnStartStop();
    // A condition, not a time: under ThreadSanitizer on a busy machine the first cut took over a minute.
    ASSERT_TRUE(waitUntil([&] { return dlg.shotCount() == 1; }, 300000));
    QTest::qWait(300);
    ASSERT_TRUE(dlg.isRunning()) << "the movie was searched through too fast for this test";

    // No cut follows: a stop looked at only between two searches would wait for the end of the movie.
    dlg.OnStartStop();
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_GT(dlg.searchPosition().getFrames(), 11);
    EXPECT_LT(dlg.searchPosition().getFrames(), 2900) << "the search ran on to the end before stopping";
    EXPECT_TRUE(t.prompts.told(s_strEnd));
    EXPECT_LT(dlg.progressBar()->value(), dlg.progressBar()->maximum());
    EXPECT_EQ(shotFrames(t.doc().script()), std::vector<int>{11});
    EXPECT_TRUE(t.doc().IsModified());
    EXPECT_EQ(t.doc().journal().getUndoCount(), 1);
    // The window can be closed again.
    EXPECT_TRUE(dlg.closeButton()->isEnabled());
}

TEST_F(ShotDetect, TheTypeAndTheCustomThresholdAreKept) {
    {
        CShotDetectDlg dlg(t.app(), t.doc(), SShotMovie());
        EXPECT_EQ(dlg.threshold(), 200000);
        dlg.typeGroup()->button(CShotDetectDlg::TYPE_CARTOON)->setChecked(true);
        EXPECT_EQ(dlg.threshold(), 400000);
        EXPECT_FALSE(dlg.customEdit()->isEnabled());
        dlg.typeGroup()->button(CShotDetectDlg::TYPE_CUSTOM)->setChecked(true);
        EXPECT_TRUE(dlg.customEdit()->isEnabled());
        dlg.customEdit()->setText("300");
        EXPECT_EQ(dlg.threshold(), 300000);
        dlg.closeButton()->click();
    }
    EXPECT_EQ(t.app().settings().get(Settings::ShotDetectionType), 2);
    EXPECT_EQ(t.app().settings().get(Settings::ShotDetectionThreshold), 300000);

    CShotDetectDlg dlg(t.app(), t.doc(), SShotMovie());
    EXPECT_EQ(dlg.typeGroup()->checkedId(), CShotDetectDlg::TYPE_CUSTOM);
    EXPECT_EQ(dlg.customEdit()->text(), "300");
    EXPECT_TRUE(dlg.customEdit()->isEnabled());

    // No number: the search does not start; the field is there to be corrected.
    dlg.customEdit()->setText("");
    const int nClicks = Click::count();
    dlg.OnStartStop();
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_FALSE(t.prompts.told(s_strEnd));
}

TEST_F(ShotDetect, WithoutAMovieTheSearchEndsAtOnce) {
    CShotDetectDlg dlg(t.app(), t.doc(), SShotMovie());
    runToEnd(dlg);
    EXPECT_TRUE(t.prompts.told(s_strEnd));
    EXPECT_EQ(dlg.shotCount(), 0);
    EXPECT_FALSE(t.doc().IsModified());
    EXPECT_FALSE(t.doc().canUndo());

    // A movie that cannot be read ends the same way.
    t.prompts.m_messages.clear();
    SShotMovie broken;
    broken.strPath = t.path("absent.mov");
    CShotDetectDlg other(t.app(), t.doc(), broken);
    runToEnd(other);
    EXPECT_TRUE(t.prompts.told(s_strEnd));
}

TEST_F(ShotDetect, TheCommandOpensTheDialogOnThePlayersMovie) {
    // The player's movie and its timestamp become the dialog's.
    const QString strMovie = testMedia("frames.mov");
    ASSERT_TRUE(t.app().media().openVideoFile(strMovie));
    const SShotMovie movie = SShotMovie::ofPlayer(t.app().player());
    EXPECT_EQ(movie.strPath, strMovie);
    EXPECT_EQ(movie.tcStart.toString(), "10:00:00:00");
    // The player's end: the end of the movie's 30 seconds.
    EXPECT_EQ(movie.tcEnd.toString(), "10:00:30:00");
    t.app().media().closeMedia();
    EXPECT_TRUE(SShotMovie::ofPlayer(t.app().player()).strPath.isEmpty());
    EXPECT_TRUE(t.app().commands().isEnabled(Cmd::EDIT_SHOT_DETECTION));
}
