#include "app/Dialogs.h"
#include "app/BookmarkList.h"
#include "app/Prompts.h"
#include "app/TimeCodeEdit.h"

#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(TimeCodeEdit, DigitsFillTheCellsAndWrap) {
    CTimeCodeEdit e;
    e.setTimeCode(CTimeCode("01:00:00:00"));
    QTest::keyClicks(&e, "1234");
    EXPECT_EQ(e.text(), QStringLiteral("12:34:00:00"));
    EXPECT_EQ(e.getTimeCode(), CTimeCode("12:34:00:00"));
    EXPECT_EQ(e.cursorCell(), 4);

    // Out of range: the value is invalid until the field is right again.
    QTest::keyClicks(&e, "9");
    EXPECT_FALSE(e.getTimeCode().isValid());
    EXPECT_EQ(e.getTimeCode().getFrames(), -1);
    QTest::keyClicks(&e, ".");
    EXPECT_EQ(e.cursorCell(), 6);
    QTest::keyClicks(&e, "24");
    EXPECT_EQ(e.text(), QStringLiteral("12:34:90:24"));
    EXPECT_EQ(e.cursorCell(), 0); // wrapped after the eighth cell
    QTest::keyClicks(&e, "::");
    EXPECT_EQ(e.cursorCell(), 4);
    QTest::keyClicks(&e, "3");
    EXPECT_EQ(e.getTimeCode(), CTimeCode("12:34:30:24"));
    // From the last group back to the first cell.
    QTest::keyClicks(&e, "..");
    EXPECT_EQ(e.cursorCell(), 0);
    // Letters do nothing.
    QTest::keyClicks(&e, "ab");
    EXPECT_EQ(e.text(), QStringLiteral("12:34:30:24"));
}

TEST(GoToDlg, AnInvalidValueClicksAndStays) {
    CGoToDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("Aller à"));
    dlg.setTimeCode(CTimeCode("10:00:00:00"));
    dlg.show();
    QTest::keyClicks(dlg.edit(), "99");
    const int nClicks = Click::count();
    dlg.accept();
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_TRUE(dlg.isVisible());
    dlg.setTimeCode(CTimeCode("10:00:05:00"));
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.getTimeCode(), CTimeCode("10:00:05:00"));
}

TEST(BookmarkDialogs, AddProposesAndDeleteRemovesTheTicked) {
    CAddBookmarkDlg add(QStringLiteral("Position 2"));
    EXPECT_EQ(add.windowTitle(), QStringLiteral("Marquer cette position"));
    EXPECT_EQ(add.labelEdit()->selectedText(), QStringLiteral("Position 2"));

    CBookmarkList b;
    b.add(CTimeCode("00:00:01:00"), QStringLiteral("un"));
    b.add(CTimeCode("00:00:02:00"), QStringLiteral("deux"));
    b.add(CTimeCode("00:00:03:00"), QStringLiteral("trois"));
    CDeleteBookmarkDlg del(b);
    QTreeWidget* pList = del.list();
    ASSERT_EQ(pList->topLevelItemCount(), 3);
    EXPECT_EQ(pList->topLevelItem(1)->text(1), QStringLiteral("00:00:02:00"));
    EXPECT_EQ(pList->topLevelItem(1)->text(2), QStringLiteral("deux"));
    // The timecodes are shown whole.
    del.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&del));
    const int nNeeded = pList->fontMetrics().horizontalAdvance(QStringLiteral("00:00:02:00"));
    EXPECT_GE(pList->columnWidth(1), nNeeded + 2 * pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin));
    del.hide();
    pList->topLevelItem(0)->setCheckState(0, Qt::Checked);
    pList->topLevelItem(2)->setCheckState(0, Qt::Checked);
    del.accept();
    ASSERT_EQ(b.items().size(), 1u);
    EXPECT_EQ(b.items().begin()->second.strLabel, QStringLiteral("deux"));
}
