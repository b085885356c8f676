#include "app/PaneLayout.h"

#include <gtest/gtest.h>

TEST(PaneLayout, SizesFollowTheWindow) {
    // 1000 x 500: band 100, upper row 400, picture 533, left column 467, script 308, control 92.
    SPaneSizes s = computePaneSizes(1000, 500, false);
    EXPECT_EQ(s.nBand, 100);
    EXPECT_EQ(s.nUpper, 400);
    EXPECT_EQ(s.nVideo, 533);
    EXPECT_EQ(s.nLeft, 467);
    EXPECT_EQ(s.nScript, 308);
    EXPECT_EQ(s.nControl, 92);

    // Below 5 pixels the band gets nothing.
    s = computePaneSizes(1000, 4, false);
    EXPECT_EQ(s.nBand, 0);
    EXPECT_EQ(s.nUpper, 4);
    EXPECT_EQ(s.nScript, 0);

    // Narrower than the 4:3 picture: no left column.
    s = computePaneSizes(300, 500, false);
    EXPECT_EQ(s.nLeft, 0);

    // Full screen: the picture alone, a strip for the band.
    s = computePaneSizes(1000, 500, true);
    EXPECT_EQ(s.nUpper, 494);
    EXPECT_EQ(s.nLeft, 0);
}

TEST(PaneLayout, PanesAreSeparatedByOnePixelBars) {
    CPaneContainer c;
    c.resize(1000, 500);
    c.show();
    EXPECT_EQ(c.paneRect(EPane::Script), QRect(0, 0, 467, 308));
    EXPECT_EQ(c.paneRect(EPane::Control), QRect(0, 309, 467, 91));
    EXPECT_EQ(c.paneRect(EPane::Video), QRect(468, 0, 532, 400));
    EXPECT_EQ(c.paneRect(EPane::Band), QRect(0, 401, 1000, 99));

    // A view plugged in takes the pane's place and size.
    auto* pBand = new QWidget;
    c.setPane(EPane::Band, pBand);
    EXPECT_EQ(pBand->parentWidget(), &c);
    EXPECT_EQ(pBand->geometry(), c.paneRect(EPane::Band));

    c.setFullScreen(true);
    EXPECT_EQ(c.paneRect(EPane::Video), QRect(0, 0, 1000, 494));
    EXPECT_FALSE(c.pane(EPane::Script)->isVisible());
    EXPECT_EQ(pBand->geometry().top(), 495);
}
