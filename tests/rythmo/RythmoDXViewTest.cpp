// The band view: its render loop driven by the time source, its commands and update hints.
#include "rythmo/RythmoDXView.h"
#include "BandScripts.h"
#include "GLTestSupport.h"
#include "base/TraceLog.h"
#include "sync/SyncProbe.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>

namespace {
class RythmoDXViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        ASSERT_TRUE(CRythmoDXView::isOpenGLAvailable())
            << "OpenGL 3.3 is needed: run the tests under xvfb-run";
        m_script.addLine(makeLine(0, {{QString(), 250, 0}, {QStringLiteral("Bonjour"), 270, 2}}));
        m_script.setLastTrack(2);
        m_pView = std::make_unique<CRythmoDXView>();
        ASSERT_EQ(m_pView->OnCreate(nullptr), 0);
        m_pView->setScript(&m_script);
        m_pView->setActiveTrack(&m_nTrack);
        m_pView->setTimeSource(&m_clock);
        m_pView->resize(800, 200);
        m_pView->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pView.get()));
        m_pView->OnInitialUpdate();
    }
    CVarE m_script;
    int m_nTrack = 0;
    CFixedTimeSource m_clock{6000, 0};
    std::unique_ptr<CRythmoDXView> m_pView;
};

TEST_F(RythmoDXViewTest, RendersFrameAfterFrameWhileTheRateRuns) {
    // Each frame swapped: how far the band moved since the previous one, and whether it shows the clock.
    int nFrames = 0, nStepped = 0, nLeaps = 0, nElsewhere = 0;
    int nLast = -1; // the first frame may follow no drawn band
    QObject::connect(m_pView.get(), &CRythmoDXView::frameSwapped, [&] {
        ++nFrames;
        const int nMoved = nLast < 0 ? 0 : m_pView->renderer().getPosition() - nLast;
        nLast = m_pView->renderer().getPosition();
        nStepped += nMoved == 24;
        nLeaps += nMoved != 0 && nMoved != 24;
        nElsewhere += nLast != m_clock.getTime();
    });
    m_clock.setIncrement(24);
    m_clock.setRate(24);
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames >= 20; }, 20000));
    EXPECT_TRUE(m_pView->isFrameLoopRunning());
    // One clock step per frame drawn (a frame drawn while the window is being set up draws no band).
    EXPECT_EQ(nLeaps, 0);
    EXPECT_GE(nStepped, 15);
    EXPECT_EQ(nElsewhere, 0);

    m_clock.setRate(0); // the loop stops by itself, after the frame under way
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_pView->isFrameLoopRunning(); }, 20000));
    const int nStopped = nFrames;
    // A running loop would draw about sixty frames in a second (a loaded machine only fewer); a stray
    // repaint (an expose) may come.
    QTest::qWait(1000);
    EXPECT_LE(nFrames - nStopped, 1);
    EXPECT_FALSE(m_pView->isFrameLoopRunning());
    // A plain widget update, as a host may ask, draws one frame too.
    const int nBefore = nFrames;
    m_pView->update();
    EXPECT_TRUE(QTest::qWaitFor([&] { return nFrames > nBefore; }, 20000));

    const QImage image = m_pView->grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const QRgb bar = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_GT(qRed(bar), 0x90);
    EXPECT_LT(qGreen(bar), 0x20);
}

// The band in a window with a picture: a picture's paint takes the band's frame along, in the same
// composition of the window; the probe counts every composition, the band's last frame in each.
TEST_F(RythmoDXViewTest, APictureAndTheBandReachTheScreenInOneComposition) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(CTraceLog::TYPE_FILE, 1 | CSyncProbe::MASK, dir.path(), QStringLiteral("band"));
    CSyncProbe probe(log);
    QWidget host;
    auto* pLayout = new QVBoxLayout(&host);
    auto* pPicture = new QOpenGLWidget(&host);
    auto* pLabel = new QLabel(QStringLiteral("10:00:10:00"), &host);
    pLayout->addWidget(pPicture, 2);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pView.get(), 1);
    const std::unique_ptr<CRythmoDXView, void (*)(CRythmoDXView*)> giveBack(
        m_pView.get(), [](CRythmoDXView* pView) { pView->setParent(nullptr); });
    host.resize(800, 500);
    m_pView->setComposed(true);
    m_pView->show();
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    int nBandFrames = 0, nCompositions = 0, nShown = -1;
    QObject::connect(m_pView.get(), &CRythmoDXView::frameSwapped, [&] { ++nBandFrames; });
    QObject::connect(pPicture, &QOpenGLWidget::frameSwapped, [&] {
        ++nCompositions;
        nShown = m_pView->renderer().getPosition();
    });
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nBandFrames > 0; }, 5000));
    QTest::qWait(100); // whatever the window's first show still had to paint
    m_pView->setProbe(&probe);

    // The clock has moved to the picture's frame; the picture is painted at once.
    m_clock.setTime(6048);
    const int nFramesBefore = nBandFrames, nCompositionsBefore = nCompositions;
    m_pView->joinPicture();
    pPicture->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nCompositions > nCompositionsBefore; }, 5000));
    EXPECT_EQ(nShown, 6048) << "the first composition after the picture's paint holds the band's frame";
    EXPECT_EQ(nBandFrames, nFramesBefore + 1);

    // Another part of the window changes: a composition without a band frame, still in the probe.
    pLabel->setText(QStringLiteral("10:00:10:01"));
    const int nLater = nCompositions;
    pLabel->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nCompositions > nLater; }, 5000));
    EXPECT_EQ(nBandFrames, nFramesBefore + 1);
    m_pView->setProbe(nullptr);
    probe.flush();

    QFile f(log.getLogPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList bands;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
        if (const int n = line.indexOf(QStringLiteral("probe\t")); n >= 0)
            bands << line.mid(n).section('\t', 4, 4);
    ASSERT_GE(bands.size(), 2);
    EXPECT_EQ(bands.first(), QStringLiteral("252"));
    EXPECT_EQ(bands.last(), QStringLiteral("252"));
    EXPECT_EQ(bands.size(), nCompositions - nCompositionsBefore);
}

// The band moves between its own window and the surface composed with the window, and back: the same
// band drawn in either (its glyphs made again in the other context), the loop going on across a switch,
// and a picture that joins the band brings it to the surface.
TEST_F(RythmoDXViewTest, TheBandMovesBetweenItsWindowAndTheComposedSurface) {
    int nFrames = 0;
    QObject::connect(m_pView.get(), &CRythmoDXView::frameSwapped, [&] { ++nFrames; });
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames > 0; }, 5000));
    EXPECT_FALSE(m_pView->isComposed());
    EXPECT_FALSE(m_pView->surface()->isVisible());
    const auto grab = [&] { return m_pView->grabFramebuffer().convertToFormat(QImage::Format_RGB32); };
    const QImage own = grab();
    ASSERT_FALSE(own.isNull());

    const auto drawnAfterSwitch = [&](bool bComposed) {
        const int nBefore = nFrames;
        m_pView->setComposed(bComposed);
        return QTest::qWaitFor([&] { return nFrames > nBefore && m_pView->isDeviceReady(); }, 5000);
    };
    ASSERT_TRUE(drawnAfterSwitch(true));
    EXPECT_TRUE(m_pView->surface()->isVisible());
    EXPECT_FALSE(m_pView->bandWindow()->isVisible());
    EXPECT_TRUE(grab() == own) << "the phrase's text and marks as in the band's own window";

    ASSERT_TRUE(drawnAfterSwitch(false));
    EXPECT_FALSE(m_pView->surface()->isVisible());
    EXPECT_TRUE(m_pView->bandWindow()->isVisible());
    EXPECT_TRUE(grab() == own);

    // Running: the loop goes on in the other host, one clock step a frame.
    m_clock.setIncrement(24);
    m_clock.setRate(24);
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames > 10; }, 10000));
    m_pView->joinPicture();
    EXPECT_TRUE(m_pView->isComposed());
    const int nSwitched = nFrames;
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames > nSwitched + 10; }, 10000));
    EXPECT_TRUE(m_pView->isFrameLoopRunning());
    EXPECT_EQ(m_pView->renderer().getPosition(), m_clock.getTime());
    m_clock.setRate(0);
}

TEST_F(RythmoDXViewTest, ZoomCommandsStopAtTheirLimits) {
    EXPECT_EQ(m_pView->getZoomLevel(), 2);
    m_pView->OnDisplayZoomIn();
    EXPECT_EQ(m_pView->getZoomLevel(), 1);
    EXPECT_FALSE(m_pView->canZoomIn());
    EXPECT_TRUE(m_pView->canZoomOut());
    m_pView->OnDisplayZoomIn(); // already 1
    EXPECT_EQ(m_pView->getZoomLevel(), 1);
    for (int i = 0; i < 7; ++i)
        m_pView->OnDisplayZoomOut();
    EXPECT_EQ(m_pView->getZoomLevel(), 6);
    EXPECT_FALSE(m_pView->canZoomOut());
    EXPECT_TRUE(m_pView->canZoomIn());
    // One pixel is zoom / 600 s: 800 pixels at zoom 6 show 4800 units.
    EXPECT_EQ(m_pView->renderer().space().nRight - m_pView->renderer().space().nLeft,
              int(800 * m_pView->devicePixelRatioF()) * 6);
}

TEST_F(RythmoDXViewTest, DisplayTogglesAndNewDocument) {
    EXPECT_EQ(m_nTrack, 2); // the active track comes from the script
    EXPECT_FALSE(m_pView->isGridAndSignsHidden());
    m_pView->toggleGridAndSigns();
    EXPECT_TRUE(m_pView->state().m_bHideGridAndSigns);
    EXPECT_TRUE(m_pView->isGridAndSignsHidden());
    m_pView->toggleDetection();
    EXPECT_TRUE(m_pView->isDetectionShown());

    m_pView->state().m_bEditMode = true;
    m_pView->state().m_bHasSelectedLine = true;
    m_pView->state().m_itSelectedLine = m_script.getLines().begin();
    m_nTrack = 0;
    m_pView->OnUpdate(UPDATE_LINE); // keeps the editing state
    EXPECT_TRUE(m_pView->state().m_bEditMode);
    m_pView->OnUpdate(NEW_DOC); // a new script: everything reset but the detection display
    EXPECT_FALSE(m_pView->state().m_bEditMode);
    EXPECT_FALSE(m_pView->state().m_bHasSelectedLine);
    EXPECT_FALSE(m_pView->state().m_bHideGridAndSigns);
    EXPECT_TRUE(m_pView->state().m_bShowDetection);
    EXPECT_EQ(m_nTrack, 2);
}

// Counts the input events a widget receives and keeps the last position clicked.
class CInputSpy : public QObject {
public:
    int nKeys = 0;
    int nPresses = 0;
    int nMenus = 0;
    int nLastKey = 0;
    QPoint lastPress;

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::KeyPress) {
            ++nKeys;
            nLastKey = static_cast<QKeyEvent*>(pEvent)->key();
        } else if (pEvent->type() == QEvent::MouseButtonPress) {
            ++nPresses;
            lastPress = static_cast<QMouseEvent*>(pEvent)->position().toPoint();
        } else if (pEvent->type() == QEvent::ContextMenu) {
            ++nMenus;
        }
        return false;
    }
};

// The same in either host of the band: its own window (true: the surface composed with the window).
class RythmoDXViewHostTest : public RythmoDXViewTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        RythmoDXViewTest::SetUp();
        m_pView->setComposed(GetParam());
    }
    QSize hostSize() const { return GetParam() ? m_pView->surface()->size() : m_pView->bandWindow()->size(); }
};

// The view in a pane beside another widget, as the main frame hosts it: the keyboard and the mouse
// reach the view, not the host the band is drawn into.
TEST_P(RythmoDXViewHostTest, FocusKeysAndClicksReachTheView) {
    QWidget host;
    auto* pLayout = new QHBoxLayout(&host);
    auto* pEdit = new QLineEdit(&host);
    pLayout->addWidget(pEdit);
    pLayout->addWidget(m_pView.get(), 4);
    // Given back to the fixture whatever happens.
    const std::unique_ptr<CRythmoDXView, void (*)(CRythmoDXView*)> giveBack(
        m_pView.get(), [](CRythmoDXView* pView) { pView->setParent(nullptr); });
    host.resize(1000, 200);
    m_pView->show(); // reparenting hid it
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hostSize().width() > 120; }, 5000));
    // Still drawing in its new top-level window.
    int nFrames = 0;
    QObject::connect(m_pView.get(), &CRythmoDXView::frameSwapped, [&] { ++nFrames; });
    m_pView->requestFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return nFrames > 0; }, 5000));
    CInputSpy spy;
    m_pView->installEventFilter(&spy);

    m_pView->setFocus();
    EXPECT_TRUE(m_pView->hasFocus());
    QTest::keyClick(host.windowHandle(), Qt::Key_A);
    EXPECT_EQ(spy.nKeys, 1);
    EXPECT_EQ(spy.nLastKey, int(Qt::Key_A));
    EXPECT_TRUE(pEdit->text().isEmpty());
    // The platform delivers input where the pointer is: in the band's own window when it has one.
    QWindow* pTarget = GetParam() ? host.windowHandle() : m_pView->bandWindow();
    const auto at = [&](QPoint p) { return GetParam() ? m_pView->mapTo(&host, p) : p; };
    if (!GetParam()) {
        QTest::keyClick(pTarget, Qt::Key_B);
        EXPECT_EQ(spy.nLastKey, int(Qt::Key_B));
    }

    // A click on the band takes the focus from the other widget and arrives where it was made.
    pEdit->setFocus();
    ASSERT_FALSE(m_pView->hasFocus());
    QTest::mouseClick(pTarget, Qt::LeftButton, {}, at(QPoint(120, 40)));
    EXPECT_TRUE(m_pView->hasFocus());
    EXPECT_EQ(spy.nPresses, 1);
    EXPECT_EQ(spy.lastPress, QPoint(120, 40));
    QTest::mouseClick(pTarget, Qt::RightButton, {}, at(QPoint(60, 20)));
    EXPECT_EQ(spy.nMenus, 1);
    QTest::keyClick(host.windowHandle(), Qt::Key_C);
    EXPECT_EQ(spy.nLastKey, int(Qt::Key_C));
    EXPECT_TRUE(pEdit->text().isEmpty());

    m_pView->removeEventFilter(&spy);
}

// The band's host follows the view's size, and the projection with it.
TEST_P(RythmoDXViewHostTest, ResizingTheViewResizesTheBand) {
    m_pView->resize(640, 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hostSize() == QSize(640, 150); }, 5000));
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return m_pView->renderer().space().nRight - m_pView->renderer().space().nLeft ==
                   int(640 * m_pView->devicePixelRatioF()) * 2;
        },
        5000));
    const QImage image = m_pView->grabFramebuffer();
    EXPECT_EQ(image.width(), int(640 * m_pView->devicePixelRatioF()));
    EXPECT_EQ(image.height(), int(150 * m_pView->devicePixelRatioF()));
}

// A window whose context is not OpenGL 3.3 core (here an OpenGL ES one) shows the French message,
// says so, and draws nothing.
TEST(RythmoDXViewWithoutOpenGL, ShowsTheMessageAndStaysBlank) {
    testApp();
    for (const bool bComposed : {false, true}) {
        SCOPED_TRACE(bComposed ? "composed surface" : "own window");
        CRythmoDXView view;
        view.setComposed(bComposed);
        QSurfaceFormat format = bComposed ? view.surface()->format() : view.bandWindow()->requestedFormat();
        format.setRenderableType(QSurfaceFormat::OpenGLES);
        format.setProfile(QSurfaceFormat::NoProfile);
        format.setVersion(2, 0);
        if (bComposed)
            view.surface()->setFormat(format);
        else
            view.bandWindow()->setFormat(format);
        ASSERT_EQ(view.OnCreate(nullptr), 0); // the display itself has OpenGL 3.3
        bool bFailed = false;
        QObject::connect(&view, &CRythmoDXView::openGLFailed, [&] { bFailed = true; });
        QString strMessage;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                strMessage = pBox->text();
                pBox->done(QMessageBox::Ok);
            }
        });
        closer.start(20);
        view.resize(400, 100);
        view.show();
        view.OnInitialUpdate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return bFailed; }, 10000));
        EXPECT_EQ(strMessage, QStringLiteral("Échec lors de l'initialisation d'OpenGL."));
        EXPECT_FALSE(view.isDeviceReady());
        EXPECT_TRUE(view.grabFramebuffer().isNull());
        view.requestFrame();
        QTest::qWait(50);
    }
}

INSTANTIATE_TEST_SUITE_P(BothHosts, RythmoDXViewHostTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "ComposedSurface" : "OwnWindow";
                         });
} // namespace
