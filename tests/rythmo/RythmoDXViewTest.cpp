// The band window: its render loop driven by the time source, its commands and update hints.
#include "rythmo/RythmoDXView.h"
#include "BandScripts.h"
#include "GLTestSupport.h"

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class RythmoDXViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        ASSERT_TRUE(CRythmoDXView::isOpenGLAvailable()) << "OpenGL 3.3 is needed: run the tests under xvfb-run";
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
    int nFrames = 0;
    QObject::connect(m_pView.get(), &QOpenGLWidget::frameSwapped, [&] { ++nFrames; });
    m_clock.setIncrement(24);
    m_clock.setRate(24);
    m_pView->requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames >= 20; }, 10000));
    // One clock step per frame drawn.
    EXPECT_GE(m_clock.getTime() - 6000, 24 * 19);
    EXPECT_EQ(m_pView->renderer().getPosition(), m_clock.getTime());

    m_clock.setRate(0); // the loop stops by itself
    QTest::qWait(100);
    const int nStopped = nFrames;
    QTest::qWait(300);
    EXPECT_LE(nFrames - nStopped, 1);

    const QImage image = m_pView->grabFramebuffer();
    ASSERT_FALSE(image.isNull());
    const QRgb bar = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_GT(qRed(bar), 0x90);
    EXPECT_LT(qGreen(bar), 0x20);
}

TEST_F(RythmoDXViewTest, ZoomCommandsStopAtTheirLimits) {
    EXPECT_EQ(m_pView->getZoomLevel(), 2);
    m_pView->zoomInAction()->trigger();
    EXPECT_EQ(m_pView->getZoomLevel(), 1);
    EXPECT_FALSE(m_pView->zoomInAction()->isEnabled());
    EXPECT_TRUE(m_pView->zoomOutAction()->isEnabled());
    m_pView->OnDisplayZoomIn(); // already 1
    EXPECT_EQ(m_pView->getZoomLevel(), 1);
    for (int i = 0; i < 7; ++i)
        m_pView->OnDisplayZoomOut();
    EXPECT_EQ(m_pView->getZoomLevel(), 6);
    EXPECT_FALSE(m_pView->zoomOutAction()->isEnabled());
    EXPECT_TRUE(m_pView->zoomInAction()->isEnabled());
    // One pixel is zoom / 600 s: 800 pixels at zoom 6 show 4800 units.
    EXPECT_EQ(m_pView->renderer().space().nRight - m_pView->renderer().space().nLeft,
              int(800 * m_pView->devicePixelRatioF()) * 6);
}

TEST_F(RythmoDXViewTest, DisplayTogglesAndNewDocument) {
    EXPECT_EQ(m_nTrack, 2); // the active track comes from the script
    EXPECT_FALSE(m_pView->gridAndSignsAction()->isChecked());
    m_pView->gridAndSignsAction()->trigger();
    EXPECT_TRUE(m_pView->state().m_bHideGridAndSigns);
    EXPECT_TRUE(m_pView->gridAndSignsAction()->isChecked());
    m_pView->detectionAction()->trigger();
    EXPECT_TRUE(m_pView->state().m_bShowDetection);

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
} // namespace
