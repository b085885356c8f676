#include "sync/ui/VideoView.h"
#include "QtTestEnvironment.h"
#include "sync/MediaFiles.h"
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"
#include "sync/ui/VideoPicture.h"

#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const auto* const g_pEnvironment = ::testing::AddGlobalTestEnvironment(new CQtTestEnvironment(true));

constexpr int MOVIE_WIDTH = 320, MOVIE_HEIGHT = 240;

// Reads the frame number that the test movie draws in its top rows (16 blocks of 20 px, block b
// white when bit b is set) from a picture of the movie scaled into the widget and centred in it.
int readFrameNumber(const QImage& image) {
    if (image.isNull()) return -1;
    const double dScale =
        std::min(double(image.width()) / MOVIE_WIDTH, double(image.height()) / MOVIE_HEIGHT);
    const double dLeft = (image.width() - MOVIE_WIDTH * dScale) / 2,
                 dTop = (image.height() - MOVIE_HEIGHT * dScale) / 2;
    int n = 0;
    for (int b = 0; b < 16; ++b) {
        const QColor c = image.pixelColor(int(dLeft + (b * 20 + 10) * dScale), int(dTop + 20 * dScale));
        if (c.lightness() > 128) n |= 1 << b;
    }
    return n;
}

CTimeCode tc(const char* psz) {
    return CTimeCode(psz);
}

class VideoViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_qt.initialize(CQuickTime::OUTPUT_RENDER, {{"ao", "null"}}));
        m_sync.init(&m_qt, 0, 0, QString());
        m_sync.setMaster(CSyncManager::MASTER_PLAYER);
    }
    // Shows the view and waits until mpv draws into it.
    bool showAttached(CVideoView& view) {
        view.resize(MOVIE_WIDTH * 2, MOVIE_HEIGHT * 2);
        view.show();
        return QTest::qWaitForWindowExposed(&view) &&
               QTest::qWaitFor([&] { return view.getPicture()->isAttached(); }, 5000);
    }
    // Shows the view on the test movie, standing two seconds in, its picture drawn.
    bool showStandingAtTwoSeconds(CVideoView& view) {
        if (!showAttached(view) || !m_qt.open(testMedia("frames.mov")) || !m_sync.gotoTime(tc("10:00:02:00")))
            return false;
        m_qt.waitForSeek();
        QTest::qWait(200);
        return true;
    }
    // Waits until the picture grabbed from the widget shows the frame.
    bool waitForFrame(CVideoView& view, int nFrame, int* pnSeen = nullptr) {
        int nSeen = -1;
        const bool bOk = QTest::qWaitFor(
            [&] {
                m_qt.onIdle();
                nSeen = readFrameNumber(view.getPicture()->grabFramebuffer());
                return nSeen == nFrame;
            },
            5000);
        if (pnSeen) *pnSeen = nSeen;
        return bOk;
    }

    CQuickTime m_qt;
    CSyncManager m_sync;
};
} // namespace

TEST_F(VideoViewTest, ShowsTheMoviePictureAtTheClockPosition) {
    if (!CQtTestEnvironment::hasRealDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    CVideoView view(&m_qt, &m_sync);
    ASSERT_TRUE(showAttached(view));
    // The view exists before the movie, as in the program.
    ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
    int nSeen = -1;
    EXPECT_TRUE(waitForFrame(view, 0, &nSeen)) << nSeen;

    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:04:00")));
    m_qt.waitForSeek();
    EXPECT_TRUE(waitForFrame(view, 100, &nSeen)) << nSeen;
    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:21:13")));
    m_qt.waitForSeek();
    EXPECT_TRUE(waitForFrame(view, 538, &nSeen)) << nSeen;
    // Below the blocks, the movie's grey pattern: neither the test card nor black.
    const QImage image = view.getPicture()->grabFramebuffer();
    const QColor middle = image.pixelColor(image.width() / 2, image.height() * 3 / 4);
    EXPECT_EQ(middle.red(), middle.green());
    EXPECT_EQ(middle.green(), middle.blue());
}

TEST_F(VideoViewTest, RedrawsByItselfWhilePlaying) {
    if (!CQtTestEnvironment::hasRealDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    CVideoView view(&m_qt, &m_sync);
    ASSERT_TRUE(showStandingAtTwoSeconds(view));

    // Nobody asks for a repaint: only mpv's new-frame callback can make the widget draw.
    const int nBefore = view.getPicture()->getRenderCount();
    m_sync.setRate(24);
    // Ten new pictures take 0.4 s at 25 fps; the generous limit only guards a loaded machine.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            m_qt.onIdle();
            return view.getPicture()->getRenderCount() - nBefore >= 10;
        },
        10000));
    m_sync.setRate(0);
    m_qt.waitForSeek();
    // What the widget shows now is where the clock stopped, well past the start.
    int nSeen = -1;
    const int nNow = m_sync.getTimeCode(0).getFrames() - tc("10:00:00:00").getFrames();
    EXPECT_TRUE(waitForFrame(view, nNow, &nSeen)) << nSeen;
    EXPECT_GT(nSeen, 50);
}

// Qt puts off a repaint that comes less than a refresh period after the window's last composition;
// at x3 (a picture every 13 ms) that is nearly every picture. Each must still be painted when it
// comes, for the timecode and the band that go with it.
TEST_F(VideoViewTest, EveryPictureIsPaintedWhenItComesEvenAtTripleSpeed) {
    if (!CQtTestEnvironment::hasRealDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    CVideoView view(&m_qt, &m_sync);
    ASSERT_TRUE(showStandingAtTwoSeconds(view));

    // A paint while the picture's announcement is being handled is a paint when due; a queued call
    // marks the end of that handling.
    int nPainted = 0, nShownWhenDue = 0;
    bool bHandlingDue = false;
    QObject::connect(view.getPicture(), &CVideoPicture::pictureDue, [&] {
        bHandlingDue = true;
        QMetaObject::invokeMethod(
            view.getPicture(), [&] { bHandlingDue = false; }, Qt::QueuedConnection);
    });
    QObject::connect(view.getPicture(), &CVideoPicture::pictureRendered, [&] {
        ++nPainted;
        nShownWhenDue += bHandlingDue;
    });
    m_sync.setRate(72);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            m_qt.onIdle();
            return nPainted >= 40;
        },
        20000));
    m_sync.setRate(0);
    // Each paint while playing came with its picture (an expose of the window may add one).
    EXPECT_LE(nPainted - nShownWhenDue, 1) << nShownWhenDue << " of " << nPainted << " painted when due";
}

TEST_F(VideoViewTest, DefaultImageOrTestCardWithoutPicture) {
    if (!CQtTestEnvironment::hasRealDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    CVideoView view(&m_qt, &m_sync);
    ASSERT_TRUE(showAttached(view));

    // No movie and no readable image: the colour bars of the test card.
    view.setDefaultImage(QStringLiteral("/nonexistent/mire.jpg"));
    QImage image = view.getPicture()->grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const int nBarWidth = image.width() / 7;
    EXPECT_EQ(image.pixelColor(nBarWidth / 2, 10), QColor(0xBFBFBF));
    EXPECT_EQ(image.pixelColor(nBarWidth + nBarWidth / 2, 10), QColor(0xBFBF00));
    EXPECT_EQ(image.pixelColor(6 * nBarWidth + nBarWidth / 2, 10), QColor(0x0000BF));

    // A readable image is shown instead, scaled to fit.
    QTemporaryDir dir;
    QImage still(64, 48, QImage::Format_RGB32);
    still.fill(QColor(0x3366CC));
    const QString strPath = dir.filePath(QStringLiteral("mire.png"));
    ASSERT_TRUE(still.save(strPath));
    EXPECT_EQ(CVideoView::defaultImagePath(QStringLiteral("mire.png"), dir.path()), strPath);
    view.setDefaultImage(strPath);
    image = view.getPicture()->grabFramebuffer();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(0x3366CC));

    // A movie without picture keeps the still; a movie with one replaces it.
    ASSERT_TRUE(m_qt.open(testMedia("quad.wav")));
    image = view.getPicture()->grabFramebuffer();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(0x3366CC));
    ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
    EXPECT_TRUE(waitForFrame(view, 0));
    // Closing the movie brings the still back over what mpv drew.
    m_qt.close();
    image = view.getPicture()->grabFramebuffer();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(0x3366CC));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::black)); // outside the still's 4:3 box
}

TEST_F(VideoViewTest, ReparentingKeepsThePicture) {
    if (!CQtTestEnvironment::hasRealDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    // A new top-level window means a new GL context: mpv must let go of the old one and attach again.
    auto* pView = new CVideoView(&m_qt, &m_sync);
    ASSERT_TRUE(showAttached(*pView));
    ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:01:00")));
    m_qt.waitForSeek();
    EXPECT_TRUE(waitForFrame(*pView, 25));
    QWidget window;
    window.resize(MOVIE_WIDTH * 2, MOVIE_HEIGHT * 2 + 40);
    pView->setParent(&window);
    pView->move(0, 0);
    window.show();
    pView->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pView->getPicture()->isAttached(); }, 5000));
    int nSeen = -1;
    EXPECT_TRUE(waitForFrame(*pView, 25, &nSeen)) << nSeen;
    // Destroying the view frees the render context and closes the movie.
    delete pView;
    EXPECT_EQ(m_qt.getRenderContext(), nullptr);
    EXPECT_FALSE(m_qt.hasMovie());
}

// The scroll bar needs no display: it follows the player and sends the transport commands.
class VideoScrollTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_qt.initialize(CQuickTime::OUTPUT_NONE));
        m_sync.init(&m_qt, 0, 0, QString());
        m_sync.setMaster(CSyncManager::MASTER_PLAYER);
        // What the application's commands do, reduced to the clock.
        auto step = [this](int nFrames) {
            return [this, nFrames] {
                m_commands.push_back(nFrames);
                m_sync.gotoTime(m_sync.getTimeCode(0) + nFrames);
                m_qt.waitForSeek();
            };
        };
        QObject::connect(&m_view, &CVideoView::oneSecondBack, step(-25));
        QObject::connect(&m_view, &CVideoView::oneSecondLater, step(25));
        QObject::connect(&m_view, &CVideoView::tenSecondsBack, step(-250));
        QObject::connect(&m_view, &CVideoView::tenSecondsLater, step(250));
        QObject::connect(&m_view, &CVideoView::gotoTimeCode, [this](const CTimeCode& tc) {
            m_gotos.push_back(tc);
            m_sync.gotoTime(tc);
            m_qt.waitForSeek();
        });
    }

    CQuickTime m_qt;
    CSyncManager m_sync;
    CVideoView m_view{&m_qt, &m_sync};
    std::vector<int> m_commands;
    std::vector<CTimeCode> m_gotos;
};

TEST_F(VideoScrollTest, RangeAndPositionFollowThePlayer) {
    QScrollBar* pBar = m_view.getScrollBar();
    m_view.checkScroll();
    EXPECT_EQ(pBar->maximum(), 0); // no media
    EXPECT_EQ(pBar->value(), 0);

    ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:12:20")));
    m_qt.waitForSeek();
    QSignalSpy redraw(&m_view, &CVideoView::updateAllViews);
    m_view.onUpdate(0);
    EXPECT_EQ(pBar->minimum(), 0);
    EXPECT_EQ(pBar->maximum(), 30); // 30 s of media, counted from its timestamp
    EXPECT_EQ(pBar->pageStep(), 3);
    EXPECT_EQ(pBar->value(), 12);
    EXPECT_EQ(redraw.count(), 0); // an update never sends one back

    // The once-a-second check picks up a move by itself.
    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:20:00")));
    m_qt.waitForSeek();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pBar->value() == 20; }, 2500));
}

TEST_F(VideoScrollTest, ActionsSendTheirCommands) {
    QWidget band;
    band.setFocusPolicy(Qt::StrongFocus);
    m_view.setFocusTarget(&band);
    ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
    ASSERT_TRUE(m_sync.gotoTime(tc("10:00:12:00")));
    m_qt.waitForSeek();
    m_view.checkScroll();
    QScrollBar* pBar = m_view.getScrollBar();
    QSignalSpy redraw(&m_view, &CVideoView::updateAllViews);

    const std::pair<QAbstractSlider::SliderAction, int> steps[] = {
        {QAbstractSlider::SliderSingleStepAdd, 25},
        {QAbstractSlider::SliderSingleStepSub, -25},
        {QAbstractSlider::SliderPageStepAdd, 250},
        {QAbstractSlider::SliderPageStepSub, -250},
    };
    for (const auto& [eAction, nFrames] : steps) {
        m_commands.clear();
        const int nBefore = m_sync.getTimeCode(0).getFrames();
        pBar->triggerAction(eAction);
        ASSERT_EQ(m_commands, std::vector<int>{nFrames}) << eAction;
        // The bar shows where the transport went, not where the bar's own step would have put it.
        const int nSeconds = (nBefore + nFrames - tc("10:00:00:00").getFrames()) / 25;
        EXPECT_EQ(pBar->value(), nSeconds) << eAction;
        EXPECT_EQ(redraw.takeLast().at(0).toInt(), CVideoView::HINT_NOTHING);
    }
    EXPECT_TRUE(m_gotos.empty());

    // Dragging the thumb goes to the second under it.
    m_commands.clear();
    pBar->setSliderDown(true);
    pBar->setSliderPosition(25);
    pBar->setSliderDown(false);
    ASSERT_EQ(m_gotos.size(), 1u);
    EXPECT_STREQ(m_gotos[0].getText(), "10:00:25:00");
    EXPECT_STREQ(m_sync.getTimeCode(0).getText(), "10:00:25:00");
    EXPECT_EQ(pBar->value(), 25);
    EXPECT_TRUE(m_commands.empty());

    // The ends of the bar move nothing.
    pBar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(m_gotos.size(), 1u);
    EXPECT_TRUE(m_commands.empty());
    EXPECT_EQ(pBar->value(), 25);
    EXPECT_EQ(redraw.count(), 2); // the drag and the end
}

TEST(VideoViewTraces, ScrollAndUpdateLinesGoToTheGivenLog) {
    QTemporaryDir dir;
    QString strPath;
    {
        CTraceLog log;
        log.Open(CTraceLog::TYPE_FILE, 0xFF, dir.path(), QStringLiteral("tavorin"));
        strPath = log.getLogPath();
        CQuickTime qt;
        ASSERT_TRUE(qt.initialize(CQuickTime::OUTPUT_NONE));
        CSyncManager sync;
        sync.init(&qt, 0, 0, QString());
        ASSERT_TRUE(qt.open(testMedia("frames.mov")));
        CVideoView view(&qt, &sync, &log);
        view.checkScroll();
        view.onUpdate(6);
        view.getScrollBar()->setSliderDown(true);
        view.getScrollBar()->setSliderPosition(7);
        view.getScrollBar()->setSliderDown(false);
    }
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString strLog = QString::fromUtf8(file.readAll());
    for (const char* psz : {"CVideoView::OnCreate()\n", "CVideoView::OnCreate() => Ok\n",
                            "CVideoView::OnUpdate(6)\n", "qt idle\n", "CVideoView::checkScroll()\n",
                            "CVideoView::OnUpdate() => OK\n", "Track to 10:00:07:00\n"})
        EXPECT_TRUE(strLog.contains(QString::fromLatin1(psz))) << psz;
    // The scroll action line: the thumb-tracking code, then the position.
    EXPECT_TRUE(strLog.contains(QStringLiteral("\t5\t7\t"))) << qPrintable(strLog);
}
