#include <gtest/gtest.h>
#include <QImage>
#include <QTest>

#include "common/TestSupport.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/ListView.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"

using platform::CommandButton;

TEST(CommandButtonTest, PressedStateShowsBoldCaption) {
    CommandButton b("btnTab", 1, nullptr);
    b.SetCaption("Бутони");
    EXPECT_FALSE(b.FontBold());
    b.SetValue(true);
    EXPECT_TRUE(b.Value());
    EXPECT_TRUE(b.FontBold());
    // A click by the user does not change the state the program set.
    b.click();
    EXPECT_TRUE(b.Value());
    b.SetValue(false);
    EXPECT_FALSE(b.FontBold());
}

TEST(CommandButtonTest, ClickCarriesTheIndexAndNeedsTheEnabledState) {
    QWidget w;
    CommandButton b("btnAction", 6, &w);
    b.SetTag("Finish");
    QList<int> clicked;
    QObject::connect(&b, &CommandButton::ClickIndex, [&](int i) { clicked.append(i); });
    b.Press();
    b.SetEnabled(false);
    b.Press();
    EXPECT_EQ(clicked, (QList<int>{6}));
    EXPECT_EQ(platform::ControlTag(&b), "Finish");
    EXPECT_EQ(platform::FindIndexedControl(&w, "btnAction", 6), &b);
    EXPECT_EQ(platform::FindIndexedControl(&w, "btnAction", 5), nullptr);
}

TEST(CommandButtonTest, EnterPressesAFocusedButton) {
    CommandButton b;
    int clicks = 0;
    QObject::connect(&b, &CommandButton::Click, [&] { ++clicks; });
    QTest::keyClick(&b, Qt::Key_Return);
    QTest::keyClick(&b, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks, 2);
}

TEST(ControlGroupTest, GroupMembersComeInIndexOrder) {
    QWidget w;
    new CommandButton("btnTab", 2, &w);
    new CommandButton("btnTab", 0, &w);
    new CommandButton("btnTab", 1, &w);
    new CommandButton("btnOK", platform::kNoIndex, &w);
    const QList<QWidget*> group = platform::FindControlGroup(&w, "btnTab");
    ASSERT_EQ(group.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(platform::ControlIndex(group[i]), i);
}

TEST(SkinManagerTest, SchemesAndFallback) {
    platform::SkinManager skin;
    ASSERT_EQ(skin.Count(), 4);
    EXPECT_EQ(skin.Item(0), "Default");
    EXPECT_EQ(skin.Item(3), "Lime");
    EXPECT_EQ(skin.Item(4), "");
    for (int i = 0; i < skin.Count(); ++i) {
        skin.SetSelectedSkin(skin.Item(i));
        EXPECT_EQ(skin.SelectedSkin(), skin.Item(i));
    }
    skin.SetSelectedSkin("lila");
    EXPECT_EQ(skin.SelectedSkin(), "Lila");
    const QColor lila = skin.BackColorWindow();
    skin.SetSelectedSkin("Purple");
    EXPECT_EQ(skin.SelectedSkin(), "Default");
    EXPECT_NE(skin.BackColorWindow(), lila);
}

TEST(SkinManagerTest, EveryPictureIsDrawnVisiblyAtBothSizes) {
    platform::SkinManager skin;
    for (const QString& name : platform::SkinManager::PictureNames()) {
        for (int size : {0, skin.IconsizeSmall()}) {
            const QImage img = skin.GetButtonPicture(name, size).toImage();
            ASSERT_FALSE(img.isNull()) << name.toStdString();
            const int expected = size ? size : skin.IconsizeLarge();
            EXPECT_EQ(img.width(), expected);
            int inked = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    inked += qAlpha(img.pixel(x, y)) > 128;
            // Legible: a real share of the square is drawn, not a speck.
            EXPECT_GT(inked, expected * expected / 20) << name.toStdString();
        }
    }
    EXPECT_FALSE(skin.GetButtonPicture("navigate_left").isNull());
    EXPECT_TRUE(skin.GetButtonPicture("NoSuchPicture").isNull());
    // Distinct pictures for distinct names.
    EXPECT_NE(skin.GetButtonPicture("Clear").toImage(), skin.GetButtonPicture("Refresh").toImage());
    EXPECT_NE(skin.GetButtonPicture("Seven").toImage(), skin.GetButtonPicture("One").toImage());
}

TEST(ListViewTest, ItemsTakeTheirImageListPicture) {
    platform::ImageList images;
    platform::SkinManager skin;
    EXPECT_EQ(images.Add(skin.GetButtonPicture("Help"), "Help"), 1);
    EXPECT_EQ(images.Add(QPixmap()), 0);  // a missing picture is not added
    platform::ListView lv;
    lv.SetIcons(&images);
    EXPECT_EQ(lv.AddListItem("Помощ", 1, "15"), 0);
    EXPECT_EQ(lv.AddListItem("Изход", 2), 1);  // no such picture: no icon
    EXPECT_FALSE(lv.item(0)->icon().isNull());
    EXPECT_TRUE(lv.item(1)->icon().isNull());
    EXPECT_EQ(lv.ListItemKey(0), "15");
}

TEST(RichTextBoxTest, CrLfTextAndCaret) {
    platform::RichTextBox rtb;
    rtb.SetText("one\r\ntwo");
    EXPECT_EQ(rtb.Text(), "one\ntwo");
    rtb.SetSelStart(1000);
    EXPECT_EQ(rtb.SelStart(), 7);
}
