#include <gtest/gtest.h>

#include "board/BoardLayout.h"
#include "common/TestSupport.h"

TEST(BoardLayout, StatusBarFramesShareTheWidth) {
    const StatusBarLayout s = ComputeStatusBar(8000, 10000);
    EXPECT_EQ(s.strip, QRect(0, 8000 - 345, 10000, 315));
    ASSERT_EQ(s.frames.size(), 5);
    EXPECT_EQ(s.frames[1].width(), 1473);  // (10000 - 180) x 0.15
    EXPECT_EQ(s.frames[2].width(), 1473);
    EXPECT_EQ(s.frames[3].width(), 1571);  // x 0.16
    EXPECT_EQ(s.frames[4].width(), 1473);
    EXPECT_EQ(s.frames[0].width(), 9820 - (1473 * 3 + 1571) - 100);
    EXPECT_EQ(s.frames[0].left(), 30);
    EXPECT_EQ(s.frames[1].left(), 30 + s.frames[0].width() + 30);
    EXPECT_EQ(s.frames[0].top(), -75);
    EXPECT_EQ(s.frames[0].height(), 375);
    EXPECT_EQ(s.labels[3], QRect(30, 120, 1571 - 60, 225));
}

TEST(BoardLayout, OneRowButtonBarEndsAtTheRightEdge) {
    const QList<QSize> sizes(12, QSize(1200, 900));
    const int gap = 60;
    const ButtonBarLayout b = ComputeButtonBar(30000, 20000, 315, sizes, QSize(2000, 300), gap);
    EXPECT_FALSE(b.twoRows);
    EXPECT_EQ(b.bar, QRect(gap, 20000 - 900 - 315 - gap, 30000 - 2 * gap, 900));
    EXPECT_EQ(b.buttons[0].left(), 0);
    EXPECT_EQ(b.buttons[1].left(), 1200 + gap);
    EXPECT_EQ(b.buttons[11].right() + 1, b.bar.width());
    for (int i = 3; i < 12; ++i)
        EXPECT_EQ(b.buttons[i].left() - b.buttons[i - 1].left(), 1200 + gap);
    EXPECT_EQ(b.statusLabel.left(), b.buttons[1].left() + 1200 + gap);
    EXPECT_EQ(b.statusLabel.width(), b.buttons[2].left() - b.statusLabel.left() - gap);
    EXPECT_EQ(b.statusLabel.top(), 300);
}

TEST(BoardLayout, TwoRowsWhenTheButtonsDoNotFit) {
    const QList<QSize> sizes(12, QSize(1200, 900));
    const int gap = 60;
    const ButtonBarLayout b = ComputeButtonBar(12000, 9000, 315, sizes, QSize(1000, 300), gap);
    ASSERT_TRUE(b.twoRows);
    const int width = 12000 - 2 * gap;
    EXPECT_EQ(b.bar.height(), 2 * 900 + gap);
    EXPECT_EQ(b.buttons[5].right() + 1, width);
    EXPECT_EQ(b.buttons[4].right() + 1 + gap, b.buttons[5].left());
    EXPECT_EQ(b.buttons[2].right() + 1 + gap, b.buttons[3].left());
    EXPECT_EQ(b.buttons[6].topLeft(), QPoint(0, 900 + gap));
    EXPECT_EQ(b.buttons[6].width(), (width - 6 * gap) / 6);
    EXPECT_EQ(b.buttons[11].right() + 1, width);  // the last one is stretched
}

TEST(BoardLayout, PanelFontsAndWidths) {
    EXPECT_EQ(OrderPanelFont(800).pointSize, 9);
    EXPECT_FALSE(OrderPanelFont(800).bold);
    EXPECT_EQ(OrderPanelFont(1024).pointSize, 11);
    EXPECT_TRUE(OrderPanelFont(1024).bold);
    EXPECT_EQ(OrderPanelFont(1280).pointSize, 15);
    const QList<QRect> panels = ComputeOrderPanels(10000, 5000, 3, 60, 400);
    EXPECT_EQ(panels[0], QRect(0, 0, (10000 - 120) / 3, 4600));
    EXPECT_EQ(panels[2].left(), 2 * ((10000 - 120) / 3 + 60));
}

TEST(BoardLayout, DatabaseStatusTexts) {
    EXPECT_EQ(DatabaseStatusText(0, "/d/q.mdb", "s", "n"), " MS Access - /d/q.mdb");
    EXPECT_EQ(DatabaseStatusText(1, "", "s", "n"), " MSDE(s) - n");
    EXPECT_EQ(DatabaseStatusText(2, "", "s", "n"), " MySQL (s) - n");
    EXPECT_EQ(DatabaseStatusText(3, "", "s", "n"), " MS SQL Server (s) - n");
    EXPECT_EQ(DatabaseStatusText(4, "", "s", "n"), " Oracle (s) - n");
    EXPECT_EQ(DatabaseStatusText(7, "", "s", "n"), "");
}
