#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QScreen>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "localization/MsgBoxExClass.h"
#include "localization/MsgBoxExForm.h"
#include "localization/ResManagerClass.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"

namespace {

// What a widget paints apart from its background, in its own coordinates.
QRect InkBounds(QWidget* w) {
    const QImage image = w->grab().toImage();
    const QColor background = w->palette().color(w->backgroundRole());
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) >
                96)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

struct Seen {
    QStringList Captions;
    QString Focused;
    QString Title;
    QString Text;
    int Lines = 0;
    // The answering key itself closed the box (it pressed a button).
    bool KeyClosed = false;
};

class MsgBoxExTest : public TempAppDataTest {
protected:
    void SetUp() override {
        TempAppDataTest::SetUp();
        config_ = PathIn("KestrelleApp.config");
        dict_ = PathIn("Dictionary_Kestrelle.lng");
        box_.SetConfigFile(config_);
        box_.SetDictionaryFile(dict_);
    }
    // Shows the box, records what it shows, then sends a key or clicks a
    // button by caption.
    int32_t ShowAndAnswer(int32_t style, const std::function<void(QWidget*)>& answer,
                          const QString& title = QString(),
                          const QString& prompt = QStringLiteral("Prompt")) {
        modal::WhenModal([this, answer](QWidget* w) {
            auto* form = qobject_cast<MsgBoxExForm*>(w);
            ASSERT_NE(form, nullptr);
            seen_ = Seen{};
            for (platform::CommandButton* b : form->ResultButtons())
                seen_.Captions << b->Caption();
            if (auto* f = qobject_cast<platform::CommandButton*>(form->focusWidget()))
                seen_.Focused = f->Caption();
            seen_.Title = form->windowTitle();
            seen_.Lines = int(form->MessageLines().size());
            seen_.Text = form->MessageLines()[0]->text();
            answer(w);
        });
        return box_.Show(prompt, style, title);
    }
    // Every set's Escape button answers the set's closing result, so whether
    // the key pressed a button shows only in whether it closed the box.
    std::function<void(QWidget*)> Key(int key) {
        return [this, key](QWidget* w) {
            QWidget* target = w->focusWidget() ? w->focusWidget() : w;
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &press);
            seen_.KeyClosed = !w->isVisible();
            // A key that pressed nothing leaves the box open: close it.
            if (w->isVisible())
                QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
        };
    }
    // A caption the box does not show fails the test and closes the box.
    static std::function<void(QWidget*)> Click(const QString& caption) {
        return [caption](QWidget* w) {
            if (QAbstractButton* b = modal::FindButton(w, caption)) {
                b->click();
            } else {
                ADD_FAILURE() << "no button " << caption.toStdString();
                w->close();
            }
        };
    }

    MsgBoxExClass box_;
    QString config_, dict_;
    Seen seen_;
};

}  // namespace

TEST(MsgBoxStyleTest, DecodingRules) {
    auto p = ParseMsgBoxStyle(292);
    EXPECT_EQ(p.ButtonSet, 4);
    EXPECT_EQ(p.Icon, 2);
    EXPECT_EQ(p.DefaultButton, 1);
    p = ParseMsgBoxStyle(6 + 5 * 16 + 4 * 256);  // every part out of range
    EXPECT_EQ(p.ButtonSet, 0);
    EXPECT_EQ(p.Icon, 0);
    EXPECT_EQ(p.DefaultButton, 0);
    p = ParseMsgBoxStyle(4096 + 4096 * 2 + 36);  // modality bits ignored
    EXPECT_EQ(p.ButtonSet, 4);
    EXPECT_EQ(p.Icon, 2);
    p = ParseMsgBoxStyle(70000);  // beyond 16 bits: all 0
    EXPECT_EQ(p.ButtonSet + p.Icon + p.DefaultButton, 0);
    p = ParseMsgBoxStyle(-1);  // negative parts are out of range
    EXPECT_EQ(p.ButtonSet + p.Icon + p.DefaultButton, 0);
}

TEST_F(MsgBoxExTest, Style17EscapeAnswersCancel) {
    EXPECT_EQ(ShowAndAnswer(17, Key(Qt::Key_Escape)), 2);
    EXPECT_TRUE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Captions, (QStringList{"OK", "Cancel"}));
    EXPECT_EQ(seen_.Focused, "OK");
    EXPECT_EQ(ShowAndAnswer(17, Click("OK")), 1);
}

TEST_F(MsgBoxExTest, Style36FocusOnYesAndEscapeDoesNothing) {
    EXPECT_EQ(ShowAndAnswer(36, Click("Yes")), 6);
    EXPECT_EQ(seen_.Captions, (QStringList{"Yes", "No"}));
    EXPECT_EQ(seen_.Focused, "Yes");
    // Escape presses nothing; closing keeps the set's result, No.
    EXPECT_EQ(ShowAndAnswer(36, Key(Qt::Key_Escape)), 7);
    EXPECT_FALSE(seen_.KeyClosed);
}

TEST_F(MsgBoxExTest, Style292FocusOnNoAndEnterPressesIt) {
    EXPECT_EQ(ShowAndAnswer(292, Key(Qt::Key_Return)), 7);
    EXPECT_TRUE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Focused, "No");
    EXPECT_EQ(ShowAndAnswer(292, Key(Qt::Key_Escape)), 7);
    EXPECT_FALSE(seen_.KeyClosed);
    EXPECT_EQ(ShowAndAnswer(292, Click("Yes")), 6);
}

TEST_F(MsgBoxExTest, Style6ShowsOneOkButton) {
    EXPECT_EQ(ShowAndAnswer(6, Key(Qt::Key_Escape)), 1);
    EXPECT_TRUE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Captions, (QStringList{"OK"}));
}

TEST_F(MsgBoxExTest, OtherSetsAndTheirClosingResults) {
    EXPECT_EQ(ShowAndAnswer(2, Key(Qt::Key_Escape)), 4);
    EXPECT_FALSE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Captions, (QStringList{"Abort", "Retry", "Ignore"}));
    EXPECT_EQ(ShowAndAnswer(3, Key(Qt::Key_Escape)), 2);
    EXPECT_FALSE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Captions, (QStringList{"Yes", "No", "Cancel"}));
    EXPECT_EQ(ShowAndAnswer(5, Key(Qt::Key_Escape)), 2);
    EXPECT_TRUE(seen_.KeyClosed);
    EXPECT_EQ(seen_.Captions, (QStringList{"Retry", "Cancel"}));
    EXPECT_EQ(ShowAndAnswer(2, Click("Ignore")), 5);
}

TEST_F(MsgBoxExTest, CaptionsComeFromTheDictionaryInTheConfiguredLanguage) {
    WriteBytes(config_, "[Language]\nValue=BG\n[Skin]\nValue=1\n");
    WriteBytes(dict_, platform::ToAnsi("[strVBYes]\nBG=Да\n[strVBNo]\nBG=  \n"));
    platform::IniClearCache();
    EXPECT_EQ(ShowAndAnswer(4, Click("Да")), 6);
    EXPECT_EQ(seen_.Captions, (QStringList{"Да", "No"}));
}

// Prompt and captions in the code page of the language's character set: the
// configured one, else the language's default.
TEST_F(MsgBoxExTest, EachLanguageShowsItsOwnLetters) {
    WriteBytes(config_, "[Language]\nValue=GR\n[Languages]\ncharset_GR=161\n");
    WriteBytes(dict_,
               "[strVBYes]\nGR=\xcd\xe1\xe9\n[strVBNo]\nGR=\xbc\xf7\xe9\n"
               "[strExit]\nGR=\xb8\xee\xef\xe4\xef\xf2;\nDE=T\xfcr schlie\xdf"
               "en?\n");
    platform::IniClearCache();
    ResManagerClass rm;
    rm.SetDictionaryFile(dict_);
    rm.SetCurrentLanguage("GR");
    EXPECT_EQ(ShowAndAnswer(4, Click("Ναι"), "", rm.GetResString("strExit")), 6);
    EXPECT_EQ(seen_.Captions, (QStringList{"Ναι", "Όχι"}));
    EXPECT_EQ(seen_.Text, "Έξοδος;");
    rm.SetCurrentLanguage("DE");
    ShowAndAnswer(4, Click("Όχι"), "", rm.GetResString("strExit"));
    EXPECT_EQ(seen_.Text, "Tür schließen?");
}

TEST_F(MsgBoxExTest, BlankTitleBecomesTheProductName) {
    ShowAndAnswer(0, Click("OK"), "   ");
    EXPECT_EQ(seen_.Title, "Quillbarrow Kestrelle");
    box_.SetDefaultTitle("Station 4");
    ShowAndAnswer(0, Click("OK"), "");
    EXPECT_EQ(seen_.Title, "Station 4");
    ShowAndAnswer(0, Click("OK"), "Attention");
    EXPECT_EQ(seen_.Title, "Attention");
}

TEST_F(MsgBoxExTest, SkinFromTheConfiguration) {
    for (const auto& [value, scheme] : std::vector<std::pair<QString, QString>>{
             {"2", "Lila"}, {"3", "Default"}, {"Blue", "Default"}, {"1", "Blue"}}) {
        WriteBytes(config_, ("[Skin]\nValue=" + value + "\n").toUtf8());
        platform::IniClearCache();
        MsgBoxExForm form;
        form.SetConfigFile(config_);
        // Its skin is the box's own business: nothing else runs meanwhile.
        EXPECT_EQ(QueuedHandlerOrder([&form] { form.FormLoad(); }),
                  (QStringList{"returned", "queued"}));
        EXPECT_EQ(form.property("SkinName").toString(), scheme) << value.toStdString();
    }
}

TEST_F(MsgBoxExTest, LinesStackAndLongLinesWrapAtFiftyFivePercent) {
    MsgBoxExForm form;
    form.SetConfigFile(config_);
    form.SetPrompt("First line\r\nSecond line\r\nThird");
    form.SetMsgBoxStyle(64);
    form.FormLoad();
    const auto& lines = form.MessageLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[2]->text(), "Third");
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(lines[i]->x(), lines[0]->x());
        EXPECT_EQ(lines[i]->y(), lines[i - 1]->y() + lines[i - 1]->height());
    }
    // Lines right of the icon, one gap apart.
    EXPECT_EQ(lines[0]->x(), form.IconLabel()->geometry().right() + 1 + MsgBoxExForm::kGap);

    MsgBoxExForm wide;
    wide.SetConfigFile(config_);
    QString text;
    while (platform::TextWidthPixels(wide.font(), text) < platform::ScreenWidthPixels() * 1.2)
        text += "Поръчката на маса 12 е готова ";
    wide.SetPrompt(text);
    wide.SetMsgBoxStyle(0);
    wide.FormLoad();
    QLabel* l = wide.MessageLines()[0];
    const int max = int(platform::ScreenWidthPixels() * 0.55);
    EXPECT_EQ(l->width(), max);
    EXPECT_TRUE(l->wordWrap());
    const int lh = platform::TextHeightPixels(l->font(), "Ag");
    EXPECT_GE(l->height(), 3 * lh);
}

TEST_F(MsgBoxExTest, EveryLineOfAPromptIsShownWhole) {
    const int max = int(platform::ScreenWidthPixels() * 0.55);
    const QFont font = QApplication::font();
    // Words a little wider than half a line: each wrapped line holds one and
    // wastes the rest, so the text needs far more lines than its width says.
    QString word = "Z";
    while (platform::TextWidthPixels(font, word) < max * 0.55)
        word += "z";
    const QString words = QStringList(6, word).join(' ');
    // A name without a break opportunity is wrapped anywhere, not cut off.
    QString name = "kestrelle";
    while (platform::TextWidthPixels(font, name) < max * 1.5)
        name += "_orders_2024";
    for (const auto& [prompt, wrap] :
         {std::pair{words, Qt::TextWordWrap}, std::pair{name, Qt::TextWrapAnywhere}}) {
        MsgBoxExForm form;
        form.SetConfigFile(config_);
        form.SetPrompt(prompt);
        form.FormLoad();
        QLabel* l = form.MessageLines()[0];
        EXPECT_EQ(l->width(), max);
        const QFontMetrics metrics(l->font());
        EXPECT_GE(l->height(),
                  metrics.boundingRect(QRect(0, 0, max, 100000), wrap, prompt).height())
            << prompt.left(20).toStdString();
        // More than one line of ink, the first one not cut at the top.
        const QRect ink = InkBounds(l);
        EXPECT_GT(ink.height(), metrics.height()) << prompt.left(20).toStdString();
        EXPECT_GT(ink.top(), 0);
    }

    // For a person to look at: a failed connection test naming a long database.
    MsgBoxExForm shot;
    shot.SetConfigFile(config_);
    shot.SetPrompt("The connection test failed.\r\nDatabase: " + name +
                   "\r\nCheck the server name, the database name, the user and the password in "
                   "the settings, then test the connection again.");
    shot.SetMsgBoxStyle(16);
    shot.FormLoad();
    SaveScreenshot(&shot, "message-box-long-prompt");

    // Markup in a prompt is shown as it is, and measured as shown.
    MsgBoxExForm html;
    html.SetConfigFile(config_);
    html.SetPrompt("Database <b>Kitchen</b> on <i>server</i>");
    html.FormLoad();
    QLabel* l = html.MessageLines()[0];
    EXPECT_GT(InkBounds(l).right(), l->width() * 9 / 10);

    // A lone line feed breaks the prompt as CR LF does.
    MsgBoxExForm lf;
    lf.SetConfigFile(config_);
    lf.SetPrompt("First\nSecond\r\nThird");
    lf.FormLoad();
    ASSERT_EQ(lf.MessageLines().size(), 3);
    EXPECT_EQ(lf.MessageLines()[1]->text(), "Second");
    EXPECT_EQ(lf.MessageLines()[1]->y(),
              lf.MessageLines()[0]->y() + lf.MessageLines()[0]->height());
}

TEST_F(MsgBoxExTest, ButtonsAndWindowAreCentred) {
    MsgBoxExForm form;
    form.SetConfigFile(config_);
    form.SetPrompt("x");
    form.SetMsgBoxStyle(3);
    form.FormLoad();
    const auto& buttons = form.ResultButtons();
    ASSERT_EQ(buttons.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->width(), 75);
        EXPECT_EQ(buttons[i]->height(), 23);
        EXPECT_EQ(buttons[i]->x(), i * (75 + 6));
    }
    QFrame* frame = form.ButtonFrame();
    EXPECT_EQ(frame->width(), 3 * 75 + 2 * 6);
    // The prompt is narrow: the frame and four gaps set the width.
    EXPECT_EQ(form.width(), frame->width() + 4 * 6);
    EXPECT_EQ(frame->x(), (form.width() - frame->width()) / 2);
    EXPECT_EQ(form.height(), frame->y() + 23 + 2 * 6);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form.x(), (screen.width() - form.width()) / 2);
    EXPECT_EQ(form.y(), (screen.height() - form.height()) / 2);
}

TEST_F(MsgBoxExTest, IconTallerThanTheTextCentresTheLineAndPushesTheButtonsDown) {
    MsgBoxExForm form;
    form.SetConfigFile(config_);
    form.SetPrompt("short");
    form.SetMsgBoxStyle(48);
    form.FormLoad();
    QLabel* icon = form.IconLabel();
    QLabel* line = form.MessageLines()[0];
    ASSERT_GT(icon->height(), line->height());
    EXPECT_EQ(line->y(), 2 * 6 + (icon->height() - line->height()) / 2);
    EXPECT_EQ(form.ButtonFrame()->y(), icon->y() + icon->height() + 4 * 6);
}

TEST_F(MsgBoxExTest, AnyCloseKeepsAResult) {
    modal::WhenModal([](QWidget* w) { w->close(); });
    EXPECT_EQ(box_.Show("Close me", 4), 7);
}

TEST_F(MsgBoxExTest, StandardBoxGetsTheTitleUnchanged) {
    box_.SetStandard(true);
    QString title = "not seen";
    modal::WhenModal([&](QWidget* w) {
        title = w->windowTitle();
        QAbstractButton* yes = modal::FindButton(w, "Yes");
        ASSERT_NE(yes, nullptr);
        yes->click();
    });
    EXPECT_EQ(box_.Show("Standard?", 36, ""), 6);
    EXPECT_EQ(title, "");

    // The prompt is plain text there too: "<b></b>" takes its room.
    int width = 0;
    int written = -1;
    modal::WhenModal([&](QWidget* w) {
        if (auto* label = w->findChild<QLabel*>("qt_msgbox_label")) {
            width = label->sizeHint().width();
            written = label->fontMetrics().horizontalAdvance("<b></b>MMMMMMMM");
        }
        w->close();
    });
    box_.Show("<b></b>MMMMMMMM", 0, "Markup");
    EXPECT_GE(width, written);
}
