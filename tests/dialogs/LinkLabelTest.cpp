// The hyperlink label: what a click opens, copying, refusing an empty URL and
// the stored properties.
#include <gtest/gtest.h>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QObject>
#include <QTest>
#include <QUrl>

#include "common/ModalHelper.h"
#include "common/TestSupport.h"
#include "dialogs/LinkLabel.h"

namespace {

// Receives the URLs the desktop services hand to a scheme, so no browser or
// mail program starts during the tests.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened.append(url); }
};

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* scheme : {"http", "https", "mailto", "ftp"})
            QDesktopServices::setUrlHandler(scheme, &catcher, "Open");
    }
    void TearDown() override {
        for (const char* scheme : {"http", "https", "mailto", "ftp"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    UrlCatcher catcher;
};

}  // namespace

TEST_F(LinkLabelTest, ClickOpensTheUrlBehindItsProtocolPrefix) {
    LinkLabel link;
    link.SetURL("office@quillbarrow.example");
    link.SetProtocol(4);
    EXPECT_EQ(link.Target(), "mailto:office@quillbarrow.example");
    link.CallClick();
    link.SetURL("www.quillbarrow.example/bg/");
    link.SetProtocol(2);
    link.CallClick();
    ASSERT_EQ(catcher.Opened.size(), 2);
    EXPECT_EQ(catcher.Opened[0].toString(), "mailto:office@quillbarrow.example");
    EXPECT_EQ(catcher.Opened[1].toString(), "http://www.quillbarrow.example/bg/");

    // The table's prefixes, the custom one and an index outside the table.
    EXPECT_EQ(LinkLabel::ProtocolPrefix(0, ""), "ftp://");
    EXPECT_EQ(LinkLabel::ProtocolPrefix(8, ""), "file:///");
    link.SetProtocol(9);
    EXPECT_EQ(link.Target(), "www.quillbarrow.example/bg/");
    link.SetCustomProtocol("https://");
    EXPECT_EQ(link.Target(), "https://www.quillbarrow.example/bg/");
    link.SetProtocol(10);
    EXPECT_EQ(link.Target(), "");
    link.CallClick();
    EXPECT_EQ(catcher.Opened.size(), 2);
}

TEST_F(LinkLabelTest, AUrlThatLooksLikeMarkupIsShownAsWrittenAndStillOpens) {
    QWidget container;
    auto* link = new LinkLabel(&container);
    const QString url = "www.quillbarrow.example/<b>menu</b>";
    link->SetURL(url);
    container.show();
    EXPECT_EQ(link->lblurl()->text(), url);
    EXPECT_EQ(link->lblurl()->textFormat(), Qt::PlainText);
    QTest::mouseClick(link->lblurl(), Qt::LeftButton);
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0], QUrl("http://" + url, QUrl::TolerantMode));
}

TEST_F(LinkLabelTest, AUrlThatCannotBeOpenedIsReported) {
    LinkLabel link;
    link.SetURL("[broken");
    link.SetProtocol(2);
    QString text;
    modal::WhenModal([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            text = box->windowTitle() + "\n" + box->text();
            box->accept();
        } else {
            w->close();
        }
    });
    link.CallClick();
    EXPECT_TRUE(text.startsWith("Error occurred...!\n")) << text.toStdString();
    EXPECT_TRUE(
        text.contains(" can not open the specified URL.\r\n\r\nThe access to the "
                      "associated applications maybe denied.\r\n\r\nError Details : "));
    EXPECT_TRUE(catcher.Opened.isEmpty());
}

TEST_F(LinkLabelTest, CopyPutsOnlyTheUrlOnTheClipboard) {
    LinkLabel link;
    link.SetURL("usa@quillbarrow.example");
    link.SetProtocol(4);
    link.mnucopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "usa@quillbarrow.example");
    EXPECT_EQ(link.mnumain()->defaultAction()->text(), "&Copy URL");
}

TEST_F(LinkLabelTest, EmptyUrlIsRefusedOncePerAttempt) {
    LinkLabel link;
    link.SetURL("www.quillbarrow.example");
    int changes = 0;
    QObject::connect(&link, &LinkLabel::PropertyChanged, [&](const QString&) { ++changes; });
    int boxes = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        modal::WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->text() == "URL Can't be Blank" &&
                box->windowTitle() == "Invalid URL...!")
                ++boxes;
            w->close();
        });
        link.SetURL("");
    }
    EXPECT_EQ(boxes, 2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(link.URL(), "www.quillbarrow.example");
}

TEST_F(LinkLabelTest, TakesTheSizeOfItsLabel) {
    QWidget container;
    auto* link = new LinkLabel(&container);
    container.show();
    link->SetURL("a");
    const int narrow = link->width();
    link->SetURL("a much longer address of the maker's site");
    EXPECT_GT(link->width(), narrow);
    EXPECT_EQ(link->size(), link->lblurl()->size());
    link->resize(500, 300);
    EXPECT_EQ(link->size(), link->lblurl()->size());
    EXPECT_EQ(link->lblurl()->pos(), QPoint(0, 0));
}

TEST_F(LinkLabelTest, StoresOnlyPropertiesThatDifferFromTheirDefaults) {
    LinkLabel link;
    EXPECT_TRUE(link.WriteProperties().isEmpty());
    link.ReadProperties({{"URL", "kenya@quillbarrow.example"}, {"Protocol", 4}});
    EXPECT_EQ(link.URL(), "kenya@quillbarrow.example");
    EXPECT_EQ(link.Protocol(), 4);
    EXPECT_EQ(link.CustomProtocol(), "");
    const QVariantMap stored = link.WriteProperties();
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(stored.value("Protocol").toInt(), 4);

    link.ReadProperties({});
    EXPECT_EQ(link.URL(), kLinkLabelDefaultURL);
    EXPECT_EQ(link.Protocol(), 2);
}

#include "LinkLabelTest.moc"
