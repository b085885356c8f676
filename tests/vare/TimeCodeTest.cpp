#include "vare/TimeCode.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

TEST(TimeCode, ParsesAndRefuses) {
    CTimeCode tc("23:59:59:24");
    EXPECT_EQ(tc.getFrames(), 2159999);
    EXPECT_STREQ(tc.getText(), "23:59:59:24");

    for (const char* bad : {"24:00:00:00", "00:60:00:00", "00:00:60:00", "00:00:00:25"}) {
        CTimeCode t("00:00:01:00");
        EXPECT_FALSE(t.parse(bad)) << bad;
        EXPECT_EQ(t.getFrames(), -1) << bad;
        EXPECT_STREQ(t.getText(), "88:88:88:88") << bad;
    }
    // Malformed text leaves the value exactly as it was.
    for (const char* bad : {"0:00:00:00", "00.00.00.00", "", "00:00"}) {
        CTimeCode t("01:00:00:00");
        EXPECT_FALSE(t.parse(bad)) << bad;
        EXPECT_STREQ(t.getText(), "01:00:00:00") << bad;
    }
    CTimeCode t;
    EXPECT_TRUE(t.parse("01:02:03:04 and more"));
    EXPECT_STREQ(t.getText(), "01:02:03:04");
    EXPECT_TRUE(t.parse(QStringLiteral("00:00:10:00")));
    EXPECT_EQ(t.getFrames(), 250);
    // A non-ASCII character never parses as a digit.
    EXPECT_FALSE(t.parse(QStringLiteral("00:00:1é:00")) && t.getFrames() == 250 + 25 * 10);
}

TEST(TimeCode, ConstantsAndDefaults) {
    EXPECT_EQ(TC_ZERO.getFrames(), 0);
    EXPECT_EQ(TC_ONE_FRAME.getFrames(), 1);
    EXPECT_EQ(TC_ONE_SECOND.getFrames(), 25);
    EXPECT_EQ(TC_TEN_SECONDS.getFrames(), 250);
    EXPECT_EQ(TC_MAX.getFrames(), 2159975);
    EXPECT_EQ(TC_INVALID.getFrames(), -1);
    EXPECT_STREQ(TC_INVALID.getText(), "88:88:88:88");
    CTimeCode tc;
    EXPECT_STREQ(tc.getText(), "00:00:00:00");
    EXPECT_EQ(tc.getRate(), 25);
    EXPECT_FALSE(tc.isDropFrame());
}

TEST(TimeCode, SetFramesWrapsIntoOneDay) {
    CTimeCode tc;
    tc.setFrames(-1);
    EXPECT_STREQ(tc.getText(), "23:59:59:24");
    tc.setFrames(2160000);
    EXPECT_STREQ(tc.getText(), "00:00:00:00");
    tc.setFrames(-2160001);
    EXPECT_LT(tc.getFrames(), 0);
    EXPECT_STREQ(tc.getText(), "88:88:88:88");
    tc.setFrames(-2160000);
    EXPECT_EQ(tc.getFrames(), 0);
}

TEST(TimeCode, ArithmeticIsWrappedAndDurationsNeverNegative) {
    EXPECT_STREQ((CTimeCode("00:00:01:00") - CTimeCode("00:00:02:00")).getText(), "00:00:00:00");
    EXPECT_STREQ((CTimeCode("00:00:02:00") - CTimeCode("00:00:01:00")).getText(), "00:00:01:00");
    EXPECT_STREQ((CTimeCode("23:59:59:24") + 1).getText(), "00:00:00:00");
    EXPECT_STREQ((TC_ZERO - 1).getText(), "23:59:59:24");
    EXPECT_STREQ((CTimeCode("10:00:00:00") + CTimeCode("00:01:00:00")).getText(), "10:01:00:00");
    // Results are always 25 fps non-drop, whatever the left operand was.
    CTimeCode drop(true, 30);
    CTimeCode r = drop + 30;
    EXPECT_EQ(r.getRate(), 25);
    EXPECT_FALSE(r.isDropFrame());
    EXPECT_STREQ(r.getText(), "00:00:01:05");
    // Comparison by frame count alone.
    EXPECT_TRUE(CTimeCode("00:00:00:01") > TC_ZERO);
    EXPECT_TRUE(TC_INVALID < TC_ZERO);
    EXPECT_EQ(drop, TC_ZERO);
}

TEST(TimeCode, DropFrameDecomposition) {
    int h, m, s, f;
    CTimeCode::decompose(1800, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{0, 1, 0, 2}));
    CTimeCode::decompose(17982, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{0, 10, 0, 0}));
    // The first second boundary of a dropped minute: frames 00 and 01 of it do not exist.
    CTimeCode::decompose(1827, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{0, 1, 0, 29}));
    CTimeCode::decompose(1828, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{0, 1, 1, 0}));
    CTimeCode::decompose(1799, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{0, 0, 59, 29}));
    // One drop-frame hour at 30 fps is 107,892 frames.
    CTimeCode::decompose(107892, 30, true, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{1, 0, 0, 0}));
    CTimeCode::decompose(90000 + 1500 + 75 + 3, 25, false, h, m, s, f);
    EXPECT_EQ((std::array{h, m, s, f}), (std::array{1, 1, 3, 3}));
    CTimeCode tc("01:02:03:04");
    EXPECT_EQ(tc.getHours(), 1);
    EXPECT_EQ(tc.getMinutes(), 2);
    EXPECT_EQ(tc.getSeconds(), 3);
    EXPECT_EQ(tc.getFrameOfSecond(), 4);
}

TEST(TimeCode, MediaTime) {
    CTimeCode tc;
    tc.fromMediaTime(600);
    EXPECT_STREQ(tc.getText(), "00:00:01:00");
    tc.fromMediaTime(599); // truncated toward zero
    EXPECT_EQ(tc.getFrames(), 24);
    EXPECT_EQ(CTimeCode("00:00:01:01").toMediaTime(), 624);
    EXPECT_EQ(CTimeCode("10:00:00:00").toMediaTime(), 21600000LL);
}

TEST(TimeCode, SetHMSFAndAssign) {
    CTimeCode tc;
    EXPECT_TRUE(tc.setHMSF(10, 0, 0, 0));
    EXPECT_EQ(tc.getFrames(), 900000);
    EXPECT_FALSE(tc.setHMSF(0, 0, 0, 25));
    EXPECT_STREQ(tc.getText(), "88:88:88:88");
    // A negative field passes the upper bounds; the text still agrees with the count.
    EXPECT_TRUE(tc.setHMSF(1, -1, 0, 0));
    EXPECT_EQ(tc.getFrames(), 90000 - 1500);
    EXPECT_STREQ(tc.getText(), "00:59:00:00");
    EXPECT_TRUE(tc.setHMSF(-1, 0, 0, 0));
    EXPECT_STREQ(tc.getText(), "88:88:88:88");
    CTimeCode a(true, 30);
    a.assign(CTimeCode("00:00:02:00"));
    EXPECT_EQ(a.getRate(), 25);
    EXPECT_STREQ(a.getText(), "00:00:02:00");
}

TEST(TimeCode, EveryFrameOfTheDayReadsAsItsFields) {
    char sz[32];
    for (int n = 0; n < CTimeCode::FRAMES_PER_DAY; ++n) {
        const CTimeCode t = CTimeCode::fromFrames(n);
        const std::array<int, 4> a = t.fields();
        std::snprintf(sz, sizeof sz, "%.2i:%.2i:%.2i:%.2i", a[0], a[1], a[2], a[3]);
        if (std::strcmp(t.getText(), sz) != 0) FAIL() << n << ": " << t.getText() << " is not " << sz;
    }
    EXPECT_STREQ((TC_ZERO + 1).getText(), "00:00:00:01");
    EXPECT_STREQ((TC_MAX + 24).getText(), "23:59:59:24");
    EXPECT_STREQ(TC_INVALID.getText(), "88:88:88:88");
}
