#include "sync/ui/ControlView.h"

#include "QtTestEnvironment.h"
#include "sync/SyncManager.h"
#include "sync/ui/CurrentLoop.h"
#include "sync/ui/TransportButton.h"
#include "vare/VarE.h"
#include <QApplication>
#include <QLabel>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
const auto* const g_pEnvironment = ::testing::AddGlobalTestEnvironment(new CQtTestEnvironment(false));

CTimeCode tc(const char* psz) {
    return CTimeCode(psz);
}

CLine phrase(int nTrack, const char* pszFrom, const char* pszTo) {
    CLine l;
    l.setTrack(nTrack);
    l.insertSign(tc(pszFrom), CLipSync::IN_OPEN, true, 0);
    l.insertText(QStringLiteral("texte"), -1);
    if (pszTo) l.insertSign(tc(pszTo), CLipSync::OUT_CLOSE, true, -1);
    return l;
}

// Loops 1 at 10:00:00:00, 2 at 10:01:05:00, 3 at 10:02:00:00; a phrase in each of the first two.
void fillScript(CVarE& script) {
    script.clear();
    for (const char* psz : {"10:00:00:00", "10:01:05:00", "10:02:00:00"})
        script.addLoop(CLoop(tc(psz), 0));
    script.addLine(phrase(0, "10:00:10:00", "10:00:20:00"));
    script.addLine(phrase(1, "10:01:10:00", "10:01:12:00"));
}

struct SLoopCase {
    const char* pszAt;
    int nNumber;
    const char* pszStart;
    const char* pszEnd;
    int nMinutes, nSeconds;
};
} // namespace

TEST(CurrentLoop, BeforeInAtAndAfterLoops) {
    CVarE script;
    fillScript(script);
    EXPECT_FALSE(CCurrentLoop::find(script, tc("09:59:59:24")).isValid());
    EXPECT_FALSE(CCurrentLoop::find(script, TC_INVALID).isValid());

    const SLoopCase cases[] = {
        {"10:00:00:00", 1, "10:00:00:00", "10:01:05:00", 1, 5}, // at the first loop: 1 min 05 s
        {"10:00:30:12", 1, "10:00:00:00", "10:01:05:00", 1, 5},
        {"10:01:04:24", 1, "10:00:00:00", "10:01:05:00", 1, 5},
        {"10:01:05:00", 2, "10:01:05:00", "10:02:00:00", 0, 55},
        // The last loop, past every item: it ends where the position is.
        {"10:02:00:00", 3, "10:02:00:00", "10:02:00:00", 0, 0},
        {"10:03:07:10", 3, "10:02:00:00", "10:03:07:10", 1, 7},
        {"11:02:00:00", 3, "10:02:00:00", "11:02:00:00", 60, 0},
    };
    for (const SLoopCase& c : cases) {
        SCOPED_TRACE(c.pszAt);
        const CCurrentLoop loop = CCurrentLoop::find(script, tc(c.pszAt));
        ASSERT_TRUE(loop.isValid());
        EXPECT_EQ(loop.getNumber(), c.nNumber);
        EXPECT_STREQ(loop.getStart().getText(), c.pszStart);
        EXPECT_STREQ(loop.getEnd().getText(), c.pszEnd);
        EXPECT_EQ(loop.getMinutes(), c.nMinutes);
        EXPECT_EQ(loop.getSeconds(), c.nSeconds);
    }
}

TEST(CurrentLoop, LastLoopReachesTheMaterialStillRunning) {
    CVarE script;
    fillScript(script);
    const CTimeCode at = tc("10:02:01:00");
    EXPECT_EQ(CCurrentLoop::lastLoopEnd(script, at), at);

    // A later shot change ends the loop there.
    script.addShot(tc("10:02:30:00"));
    EXPECT_STREQ(CCurrentLoop::lastLoopEnd(script, at).getText(), "10:02:30:00");

    // The last phrase ends later still.
    script.addLine(phrase(0, "10:02:10:00", "10:02:40:00"));
    EXPECT_STREQ(CCurrentLoop::lastLoopEnd(script, at).getText(), "10:02:40:00");

    // A phrase on another track covers that end and runs on; a third one covers the second's end.
    // The walk follows both, whatever the order of the tracks.
    script.addLine(phrase(3, "10:02:05:00", "10:02:50:00"));
    script.addLine(phrase(1, "10:02:45:00", "10:03:00:00"));
    EXPECT_STREQ(CCurrentLoop::lastLoopEnd(script, at).getText(), "10:03:00:00");

    // An open phrase covers every later time but ends at its last sign: the walk stops.
    script.addLine(phrase(2, "10:02:58:00", nullptr));
    EXPECT_STREQ(CCurrentLoop::lastLoopEnd(script, at).getText(), "10:03:00:00");

    // A phrase that does not reach the end is left alone; the position beyond everything wins.
    EXPECT_STREQ(CCurrentLoop::lastLoopEnd(script, tc("10:05:00:00")).getText(), "10:05:00:00");
    const CCurrentLoop loop = CCurrentLoop::find(script, at);
    EXPECT_EQ(loop.getMinutes(), 1);
    EXPECT_EQ(loop.getSeconds(), 0);
}

class ControlViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        fillScript(m_script);
        m_sync.setMaster(CSyncManager::MASTER_INTERNAL);
        m_view.setTheme(0);
        m_view.resize(467, 92);
        m_view.OnInitialUpdate();
    }
    void moveTo(const char* psz) {
        m_sync.gotoTime(tc(psz));
        m_view.refresh();
    }
    QString text(CControlView::EField f) const { return m_view.getText(f); }

    CVarE m_script;
    CSyncManager m_sync;
    CControlView m_view{&m_sync, &m_script};
};

TEST_F(ControlViewTest, LoopFieldsFollowThePosition) {
    moveTo("10:00:30:12");
    EXPECT_EQ(text(CControlView::F_TIMECODE), "10:00:30:12");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "1");
    EXPECT_EQ(text(CControlView::F_LOOP_START), "10:00:00:00");
    EXPECT_EQ(text(CControlView::F_LOOP_END), "10:01:05:00");
    EXPECT_EQ(text(CControlView::F_MINUTES), "1");
    EXPECT_EQ(text(CControlView::F_SECONDS), "05");

    moveTo("10:01:05:00");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "2");
    EXPECT_EQ(text(CControlView::F_LOOP_END), "10:02:00:00");
    EXPECT_EQ(text(CControlView::F_MINUTES), "0");
    EXPECT_EQ(text(CControlView::F_SECONDS), "55");

    // Past every item of the script: the last loop grows with the position.
    moveTo("10:03:07:10");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "3");
    EXPECT_EQ(text(CControlView::F_LOOP_END), "10:03:07:10");
    EXPECT_EQ(text(CControlView::F_SECONDS), "07");
    moveTo("10:03:09:00");
    EXPECT_EQ(text(CControlView::F_LOOP_END), "10:03:09:00");
    EXPECT_EQ(text(CControlView::F_SECONDS), "09");

    // Before the first loop: nothing shown, the bounds zeroed and drawn invisible.
    moveTo("09:00:00:00");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "");
    EXPECT_EQ(text(CControlView::F_LOOP_START), "00:00:00:00");
    EXPECT_EQ(text(CControlView::F_LOOP_END), "00:00:00:00");
    EXPECT_EQ(text(CControlView::F_MINUTES), "");
    EXPECT_EQ(text(CControlView::F_SECONDS), "");
    const QColor background = m_view.getBackgroundColor();
    // The captions that go with the loop's values go too: no orphan "boucle" or "durée min s".
    for (auto f : {CControlView::F_LOOP_NUMBER, CControlView::F_LOOP_START, CControlView::F_ARROW,
                   CControlView::F_LOOP_END, CControlView::F_MINUTES, CControlView::F_SECONDS,
                   CControlView::F_LOOP_LABEL, CControlView::F_DURATION_LABEL, CControlView::F_MINUTES_LABEL,
                   CControlView::F_SECONDS_LABEL})
        EXPECT_EQ(m_view.getTextColor(f), background) << f;
    EXPECT_NE(m_view.getTextColor(CControlView::F_TIMECODE_LABEL), background);
    EXPECT_NE(m_view.getTextColor(CControlView::F_TIMECODE), background);

    // Back into a loop: the fields come back in their colours.
    moveTo("10:00:00:00");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "1");
    EXPECT_EQ(m_view.getTextColor(CControlView::F_LOOP_NUMBER), QColor(0xE4F1FF));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_LOOP_START), QColor(0x606873));
}

TEST_F(ControlViewTest, CaptionsAndEmptyScript) {
    EXPECT_EQ(text(CControlView::F_TIMECODE_LABEL), "timecode");
    EXPECT_EQ(text(CControlView::F_LOOP_LABEL), "boucle");
    EXPECT_EQ(text(CControlView::F_ARROW), QString::fromUtf8("\xe2\x86\x92"));
    EXPECT_EQ(text(CControlView::F_DURATION_LABEL), QString::fromUtf8("durée"));
    EXPECT_EQ(text(CControlView::F_MINUTES_LABEL), "min");
    EXPECT_EQ(text(CControlView::F_SECONDS_LABEL), "s");
    EXPECT_EQ(text(CControlView::F_VI), "VI");
    EXPECT_EQ(text(CControlView::F_VO), "VO");

    m_script.clear();
    moveTo("10:00:30:12");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "");
    // Without a clock there is no position at all.
    CControlView alone(nullptr, nullptr);
    alone.OnInitialUpdate();
    EXPECT_EQ(alone.getText(CControlView::F_TIMECODE), "88:88:88:88");
}

TEST_F(ControlViewTest, EveryFieldShowsWholeInANarrowPane) {
    moveTo("10:00:30:12");
    // 282 pixels: the pane of a 900 x 600 window; 467: of 1000 x 500; 700: a large screen.
    for (int nWidth : {282, 360, 467, 700}) {
        m_view.resize(nWidth, 92);
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
        QApplication::processEvents();
        for (int f = 0; f < CControlView::F_COUNT; ++f) {
            const auto* pLabel = m_view.fieldLabel(CControlView::EField(f));
            const QString str = pLabel->text();
            if (str.isEmpty()) continue;
            EXPECT_GE(pLabel->width(), pLabel->fontMetrics().horizontalAdvance(str))
                << nWidth << " " << qPrintable(str);
            EXPECT_TRUE(m_view.rect().contains(pLabel->geometry())) << nWidth << " " << qPrintable(str);
        }
        m_view.hide();
    }
    // A wide pane keeps the full size of the timecode.
    EXPECT_EQ(m_view.fieldLabel(CControlView::F_TIMECODE)->font().pixelSize(), 28);
}

TEST_F(ControlViewTest, UpdateHintAndTimerRefresh) {
    moveTo("10:00:00:00");
    m_sync.gotoTime(tc("10:01:30:00"));
    m_view.onUpdate(1);
    EXPECT_EQ(text(CControlView::F_TIMECODE), "10:01:30:00");
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "2");
    // The 40 ms timer picks up a move by itself.
    m_sync.gotoTime(tc("10:00:05:00"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(CControlView::F_TIMECODE) == "10:00:05:00"; }, 2000));
    EXPECT_EQ(text(CControlView::F_LOOP_NUMBER), "1");
}

TEST_F(ControlViewTest, ThemeColours) {
    moveTo("10:00:30:12");
    // 0 is "Métal": light blue on blue-grey.
    EXPECT_EQ(m_view.getBackgroundColor(), QColor(0x242C34));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_TIMECODE), QColor(0xE4F1FF));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_TIMECODE_LABEL), QColor(0xE4F1FF));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_LOOP_END), QColor(0x606873));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_MINUTES), QColor(0xABBAC7));
    EXPECT_EQ(m_view.getTextColor(CControlView::F_SECONDS_LABEL), QColor(0xABBAC7));
    // The background really is drawn in the theme's colour.
    m_view.show();
    QImage shot = m_view.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(0x242C34));

    // Any other value is "Papier": cream on brown.
    for (int nTheme : {1, 7, -1}) {
        m_view.setTheme(nTheme);
        EXPECT_EQ(m_view.getBackgroundColor(), QColor(0x2F1E0E)) << nTheme;
        EXPECT_EQ(m_view.getTextColor(CControlView::F_TIMECODE), QColor(0xFBF5E5));
        EXPECT_EQ(m_view.getTextColor(CControlView::F_LOOP_NUMBER), QColor(0xFBF5E5));
        EXPECT_EQ(m_view.getTextColor(CControlView::F_ARROW), QColor(0x8C7255));
        EXPECT_EQ(m_view.getTextColor(CControlView::F_DURATION_LABEL), QColor(0xDAC2A4));
    }
    shot = m_view.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(0x2F1E0E));
}

TEST_F(ControlViewTest, AudioVersionIndicators) {
    struct SCase {
        int nChannels;
        bool bVI;
        bool bViOn, bVoOn;
    };
    const SCase cases[] = {{2, false, false, true}, {2, true, true, false},   {4, false, false, true},
                           {4, true, true, false},  {1, false, false, false}, {6, true, false, false},
                           {0, false, false, false}};
    for (int nTheme : {0, 1}) {
        m_view.setTheme(nTheme);
        const CControlTheme theme(nTheme);
        for (const SCase& c : cases) {
            m_view.setAudioVersion(c.nChannels, c.bVI);
            auto expected = [&](bool bOn) {
                return theme.color(bOn ? CControlTheme::VERSION_ON : CControlTheme::VERSION_OFF);
            };
            EXPECT_EQ(m_view.getTextColor(CControlView::F_VI), expected(c.bViOn)) << c.nChannels << c.bVI;
            EXPECT_EQ(m_view.getTextColor(CControlView::F_VO), expected(c.bVoOn)) << c.nChannels << c.bVI;
        }
    }
    EXPECT_EQ(CControlTheme(0).color(CControlTheme::VERSION_ON), QColor(0x88B9F6));
    EXPECT_EQ(CControlTheme(1).color(CControlTheme::VERSION_ON), QColor(0xF75210));
}

TEST_F(ControlViewTest, ButtonsSendTheirCommandsAndGiveTheKeyboardBack) {
    QWidget window;
    auto* pBand = new QWidget(&window);
    pBand->setFocusPolicy(Qt::StrongFocus);
    auto* pOther = new QWidget(&window);
    pOther->setFocusPolicy(Qt::StrongFocus);
    m_view.setParent(&window);
    m_view.setFocusTarget(pBand);
    window.show();

    QSignalSpy play(&m_view, &CControlView::playPause), next(&m_view, &CControlView::nextFrame),
        forward(&m_view, &CControlView::fastForward), previous(&m_view, &CControlView::previousFrame),
        back(&m_view, &CControlView::rewind);
    const std::pair<int, QSignalSpy*> buttons[] = {{CControlView::ID_PLAY_PAUSE, &play},
                                                   {CControlView::ID_NEXT_FRAME, &next},
                                                   {CControlView::ID_FAST_FORWARD, &forward},
                                                   {CControlView::ID_PREVIOUS_FRAME, &previous},
                                                   {CControlView::ID_REWIND, &back}};
    for (const auto& [nCommand, pSpy] : buttons) {
        pOther->setFocus();
        CTransportButton* pButton = m_view.getButton(nCommand);
        ASSERT_NE(pButton, nullptr);
        QTest::mouseClick(pButton, Qt::LeftButton);
        EXPECT_EQ(pSpy->count(), 1) << nCommand;
        EXPECT_EQ(window.focusWidget(), pBand) << nCommand;
    }
    for (const auto& [nCommand, pSpy] : buttons)
        EXPECT_EQ(pSpy->count(), 1) << nCommand;

    // The buttons never take the keyboard; a click on the view gives it to the band too.
    pOther->setFocus();
    QTest::mouseClick(&m_view, Qt::LeftButton, {}, QPoint(m_view.width() - 3, m_view.height() - 3));
    EXPECT_EQ(window.focusWidget(), pBand);
    EXPECT_EQ(m_view.getPlayPauseButton()->focusPolicy(), Qt::NoFocus);
    m_view.setParent(nullptr);
}

TEST_F(ControlViewTest, PlayPauseCaption) {
    CTransportButton* pButton = m_view.getPlayPauseButton();
    EXPECT_EQ(pButton->text(), "4");
    m_view.setPlaying(true);
    EXPECT_EQ(pButton->text(), ";");
    // The pause picture differs from the play picture.
    const QImage pause = pButton->grab().toImage();
    m_view.setPlaying(false);
    EXPECT_EQ(pButton->text(), "4");
    EXPECT_NE(pButton->grab().toImage(), pause);
}

TEST(ControlViewTraces, InitialUpdateAndHints) {
    QTemporaryDir dir;
    QString strPath;
    {
        CTraceLog log;
        log.Open(CTraceLog::TYPE_FILE, 1, dir.path(), QStringLiteral("tavorin"));
        strPath = log.getLogPath();
        CControlView view(nullptr, nullptr, &log);
        view.OnInitialUpdate();
        view.OnInitialUpdate(); // once only
        view.onUpdate(4);
    }
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString strLog = QString::fromUtf8(file.readAll());
    EXPECT_EQ(strLog.count(QStringLiteral("CControlView::OnInitialUpdate()\n")), 1);
    EXPECT_EQ(strLog.count(QStringLiteral("CControlView::OnUpdate(4)\n")), 1);
}
