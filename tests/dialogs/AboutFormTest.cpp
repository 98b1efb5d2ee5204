// The about box by language and country: dealer blocks, logos, links and the
// version line.
#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "dialogs/AboutForm.h"
#include "dialogs/LinkLabel.h"
#include "localization/BuiltInTexts.h"
#include "localization/ResManagerClass.h"
#include "platform/IniFile.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/SkinManager.h"

namespace {

class AboutFormTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        ReadDateSettings();
        AppVersion().SetApplication(8);
        if (ResManager().CountResources() == 0)
            RegisterBuiltInTexts();
    }
    static void Use(const QString& language, int country) {
        ConfigurationSettings.Language = language;
        ConfigurationSettings.Country = country;
    }
    static int InView() { return 60 / platform::TwipsPerPixelX(); }
};

}  // namespace

TEST_F(AboutFormTest, DealerBlockNeedsBothLanguageAndCountry) {
    EXPECT_EQ(AboutForm::DealerBlock("RO", 2), "strContactsRomania");
    EXPECT_EQ(AboutForm::DealerBlock("RO", 0), "");
    EXPECT_EQ(AboutForm::DealerBlock("EN", 3), "strContactsKenya");
    EXPECT_EQ(AboutForm::DealerBlock("EN", 9), "");
    EXPECT_EQ(AboutForm::DealerBlock("US", 9), "strContactsUSA");
    EXPECT_EQ(AboutForm::DealerBlock("US", 3), "");
    EXPECT_EQ(AboutForm::DealerBlock("RU", 1), "");
}

TEST_F(AboutFormTest, RomanianDealerShowsTheContactsFrame) {
    Use("BG", 0);
    AboutForm maker(ConfigurationSettings);
    Use("RO", 2);
    AboutForm box(ConfigurationSettings);
    EXPECT_EQ(box.frmAbout(1)->x(), InView());
    EXPECT_GT(box.frmAbout(0)->x(), box.width() - 10);
    const int d = box.frmAbout(1)->height() - box.frmAbout(0)->height();
    EXPECT_EQ(box.height(), maker.height() + d);
    EXPECT_EQ(box.btnOK()->y(), maker.btnOK()->y() + d);
    EXPECT_EQ(box.lblSep(1)->y(), maker.lblSep(1)->y() + d);
    EXPECT_EQ(box.lblDealer(0)->text(), "Quillbarrow Romania SRL");
    EXPECT_EQ(box.lblDealer(2)->text(), QString::fromUtf8("010011 Bucureşti"));
    EXPECT_EQ(box.lnkDealer(0)->URL(), "www.quillbarrow.example");
    EXPECT_EQ(box.lnkDealer(1)->URL(), "romania@quillbarrow.example");
    EXPECT_EQ(box.lnkDealer(1)->Protocol(), 4);
    EXPECT_EQ(box.lblQuillbarrow(0)->text(), QString::fromUtf8("Куилбароу ООД"));
    // The maker's site link gets a folder named after the language.
    EXPECT_EQ(box.lnkQuillbarrow(0)->URL(), box.lnkAbout(0)->URL() + "/ro/");
    EXPECT_EQ(box.lnkQuillbarrow(1)->URL(), box.lnkAbout(1)->URL());
    // Each block's links are centred in their half of the frame.
    const int sep = box.lblSep(2)->x();
    EXPECT_EQ(box.lnkQuillbarrow(0)->x(), (sep - box.lnkQuillbarrow(0)->width()) / 2);
    EXPECT_EQ(box.lnkDealer(1)->x(), sep + (box.frmAbout(1)->width() - sep +
                                            box.lblSep(2)->width() - box.lnkDealer(1)->width()) /
                                               2);

    Use("RO", 1);
    AboutForm other(ConfigurationSettings);
    EXPECT_EQ(other.frmAbout(0)->x(), InView());
    EXPECT_EQ(other.lblDealer(0)->text(), "");
}

TEST_F(AboutFormTest, ContactsThatLookLikeMarkupAreShownAsWritten) {
    const QStringList fields = {"<b>Dealer</b> SRL", "<i>Str.</i> 1", "Town &amp; <br>Co",
                                "www.<b>dealer</b>.example"};
    const QString dictionary = PathIn("Dictionary_Kestrelle.lng");
    WriteBytes(dictionary, "[strContactsRomania]\nBG=" + fields.join('|').toLatin1() + "\n");
    platform::IniClearCache();
    const QString previousDictionary = ResManager().DictionaryFile();
    ResManager().SetDictionaryFile(dictionary);
    Use("RO", 2);
    AboutForm box(ConfigurationSettings);
    ResManager().SetDictionaryFile(previousDictionary);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(box.lblDealer(i)->text(), fields[i]);
        EXPECT_EQ(box.lblDealer(i)->textFormat(), Qt::PlainText) << i;
        EXPECT_EQ(box.lblQuillbarrow(i)->textFormat(), Qt::PlainText) << i;
    }
    EXPECT_EQ(box.lnkDealer(0)->URL(), fields[3]);
}

TEST_F(AboutFormTest, LogoAndAlternativeLinkFollowTheLanguage) {
    Use("RU", 1);
    AboutForm russian(ConfigurationSettings);
    EXPECT_FALSE(russian.Image2()->isHidden());
    EXPECT_TRUE(russian.Image3()->isHidden());
    EXPECT_TRUE(russian.lnkAbout(0)->isHidden());
    EXPECT_FALSE(russian.lnkAbout(2)->isHidden());
    EXPECT_EQ(russian.lnkAbout(2)->pos(), russian.lnkAbout(0)->pos());
    EXPECT_EQ(russian.frmAbout(0)->x(), InView());

    Use("DE", 1);
    AboutForm german(ConfigurationSettings);
    EXPECT_TRUE(german.Image2()->isHidden());
    EXPECT_FALSE(german.Image3()->isHidden());
    EXPECT_FALSE(german.lnkAbout(0)->isHidden());
    EXPECT_TRUE(german.lnkAbout(2)->isHidden());
    EXPECT_EQ(german.lnkAbout(0)->x(), (german.width() - german.lnkAbout(0)->width()) / 2);
}

TEST_F(AboutFormTest, VersionLineKeepsTwoBlanksAfterTheWord) {
    Use("BG", 0);
    AboutForm box(ConfigurationSettings);
    EXPECT_EQ(box.lblVersion()->text(), "Version  3.07.003 (build 22.06.2011)");
}

TEST_F(AboutFormTest, EscapeAndEnterCloseTheBox) {
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        modal::PressKey(key);
        ShowAboutForm(ConfigurationSettings);  // a key that leaves the box open fails the test
    }
    modal::PressButton("OK");
    ShowAboutForm(ConfigurationSettings);
}

TEST_F(AboutFormTest, LinksKeepTheirLookOnTheFramesColourUnderEverySkin) {
    Use("BG", 0);
    // The translator leaves a link alone, also under its inner label's name.
    const QString dictionary = PathIn("Dictionary_Kestrelle.lng");
    WriteBytes(dictionary, "[AboutForm|lblurl]\nBG=translated\n");
    platform::IniClearCache();
    const QString previousDictionary = ResManager().DictionaryFile();
    ResManager().SetDictionaryFile(dictionary);
    const QString previousSkin = SkinManager().SelectedSkin();
    SkinManager().SetSelectedSkin("Lila");
    AboutForm box(ConfigurationSettings);
    box.show();
    // Each scheme applied to the box as it stands, as a preview of the
    // settings dialog re-colours a window.
    for (const char* scheme : {"Default", "Blue", "Lime", "Lila"}) {
        SkinManager().SetSelectedSkin(scheme);
        ApplySkinToForm(&box);
        const QImage shot = box.grab().toImage();
        if (QLatin1String(scheme) == QLatin1String("Blue"))
            SaveScreenshot(&box, "about-box-blue");
        LinkLabel* link = box.lnkAbout(0);
        EXPECT_EQ(link->URL(), "www.quillbarrow.example");
        const QRect r(link->mapTo(&box, QPoint(0, 0)), link->size());
        QMap<QRgb, int> count;
        bool blue = false;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                ++count[shot.pixel(x, y)];
                blue = blue || shot.pixelColor(x, y) == QColor(Qt::blue);
            }
        }
        // Blue text (its underline is solid) on the colour of the frame around it.
        EXPECT_TRUE(blue) << scheme;
        const QRgb background =
            std::max_element(count.keyValueBegin(), count.keyValueEnd(), [](auto a, auto b) {
                return a.second < b.second;
            })->first;
        EXPECT_EQ(QColor(background), shot.pixelColor(r.left() - 3, r.center().y())) << scheme;
        EXPECT_EQ(QColor(background), SkinManager().BackColorWindow()) << scheme;
        EXPECT_TRUE(link->lblurl()->font().underline());
    }
    SkinManager().SetSelectedSkin(previousSkin);
    ResManager().SetDictionaryFile(previousDictionary);
}

TEST_F(AboutFormTest, KeysInALinksMenuActInTheMenu) {
    Use("BG", 0);
    QGuiApplication::clipboard()->clear();
    bool stillOpen = false;
    modal::WhenModal([&](QWidget* w) {
        auto* box = qobject_cast<AboutForm*>(w);
        ASSERT_TRUE(box);
        LinkLabel* link = box->lnkAbout(1);
        QMenu* menu = link->mnumain();
        // Esc closes the menu only; Enter chooses its item, "&Copy URL".
        QTest::mouseClick(link->lblurl(), Qt::RightButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
        QTest::keyClick(menu, Qt::Key_Escape);
        EXPECT_FALSE(menu->isVisible());
        QTest::mouseClick(link->lblurl(), Qt::RightButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
        QTest::keyClick(menu, Qt::Key_Return);
        QTest::qWait(50);
        stillOpen = box->isVisible();
        box->btnOK()->Press();
    });
    ShowAboutForm(ConfigurationSettings);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "office@quillbarrow.example");
}
