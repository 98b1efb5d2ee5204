// The about box.
#include "dialogs/AboutForm.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>

#include "core/BuildVersionClass.h"
#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "dialogs/LinkLabel.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"

namespace {

// The design is laid out in twips, as the positions the box computes are.
int PxX(int twips) {
    return platform::TwipsToPixelsX(twips);
}
int PxY(int twips) {
    return platform::TwipsToPixelsY(twips);
}

constexpr int kInnerWidth = 6300;
constexpr int kFrameWidth = 6180;
constexpr int kFrameTop = 1860;
constexpr int kMakerFrameHeight = 1500;
constexpr int kContactsFrameHeight = 2100;
constexpr int kFrameInView = 60;
constexpr int kFrameOutOfView = 6360;

QPixmap DrawLogo(const QString& text, const QColor& colour) {
    QPixmap logo(PxX(5400), PxY(900));
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(logo.height() * 3 / 5);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(logo.rect(), Qt::AlignCenter, text);
    return logo;
}

// The box's texts come from the dictionary and the settings (a dealer's name
// and address): shown as written, also when they look like markup.
QLabel* NewLabel(QWidget* parent, const QString& name, int index, const QString& text) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(name);
    if (index != platform::kNoIndex)
        platform::SetControlIndex(label, index);
    return label;
}

LinkLabel* NewLink(QWidget* parent, const QString& name, int index, const QString& url,
                   int32_t protocol) {
    auto* link = new LinkLabel(parent);
    link->setObjectName(name);
    platform::SetControlIndex(link, index);
    link->ReadProperties({{QStringLiteral("URL"), url}, {QStringLiteral("Protocol"), protocol}});
    return link;
}

QFrame* NewSeparator(QWidget* parent, int index, bool vertical) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("lblSep"));
    platform::SetControlIndex(line, index);
    line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QPointer<AboutForm>& Shown() {
    static QPointer<AboutForm> form;
    return form;
}

}  // namespace

AboutForm::AboutForm(const ConfigurationRecord& settings, QWidget* parent)
    : KeyPreviewDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("За програмата"));
    Build();
    Form_Load();
}

void AboutForm::Build() {
    const QString maker = QStringLiteral("www.quillbarrow.example");
    image1_ = NewLabel(this, QStringLiteral("Image1"), platform::kNoIndex, QString());
    image1_->setGeometry(PxX(120), PxY(120), 32, 32);
    image2_ = NewLabel(this, QStringLiteral("Image2"), platform::kNoIndex, QString());
    image2_->setPixmap(DrawLogo(QStringLiteral("Кестрел"), QColor(0x8b, 0x1a, 0x1a)));
    image2_->setGeometry(PxX(720), PxY(120), PxX(5400), PxY(900));
    image3_ = NewLabel(this, QStringLiteral("Image3"), platform::kNoIndex, QString());
    image3_->setPixmap(DrawLogo(QStringLiteral("Kestrelle"), QColor(0x1a, 0x3c, 0x8b)));
    image3_->setGeometry(image2_->geometry());

    lblCaption_ = NewLabel(this, QStringLiteral("lblCaption"), platform::kNoIndex,
                           QStringLiteral("Kestrelle - Order Display Station"));
    lblCaption_->setAlignment(Qt::AlignCenter);
    lblCaption_->setGeometry(PxX(60), PxY(1140), PxX(kFrameWidth), PxY(360));
    QFont captionFont = lblCaption_->font();
    captionFont.setBold(true);
    lblCaption_->setFont(captionFont);
    lblVersion_ = NewLabel(this, QStringLiteral("lblVersion"), platform::kNoIndex, QString());
    lblVersion_->setAlignment(Qt::AlignCenter);
    lblVersion_->setGeometry(PxX(60), PxY(1500), PxX(kFrameWidth), PxY(300));

    for (int i = 0; i < 2; ++i) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("frmAbout"));
        platform::SetControlIndex(frame, i);
        frame->setFrameShape(QFrame::StyledPanel);
        const int height = i == 0 ? kMakerFrameHeight : kContactsFrameHeight;
        frame->setGeometry(PxX(i == 0 ? kFrameInView : kFrameOutOfView), PxY(kFrameTop),
                           PxX(kFrameWidth), PxY(height));
        frmAbout_.append(frame);
    }
    QFrame* makerFrame = frmAbout_[0];
    lblAddress_ = NewLabel(makerFrame, QStringLiteral("lblAddress"), platform::kNoIndex,
                           QStringLiteral("Quillbarrow Ltd.\n1 Example Street, 1000 Sofia"));
    lblAddress_->setAlignment(Qt::AlignCenter);
    lblAddress_->setGeometry(PxX(120), PxY(120), PxX(5940), PxY(600));
    lnkAbout_.append(NewLink(makerFrame, QStringLiteral("lnkAbout"), 0, maker, 2));
    lnkAbout_.append(NewLink(makerFrame, QStringLiteral("lnkAbout"), 1,
                             QStringLiteral("office@quillbarrow.example"), 4));
    lnkAbout_.append(
        NewLink(makerFrame, QStringLiteral("lnkAbout"), 2, maker + QStringLiteral("/ru/"), 2));
    lnkAbout_[0]->move(0, PxY(840));
    lnkAbout_[1]->move(0, PxY(1140));
    lnkAbout_[2]->move(0, PxY(840));
    lnkAbout_[2]->setVisible(false);

    QFrame* contacts = frmAbout_[1];
    lblSep_.append(NewSeparator(this, 0, false));
    lblSep_[0]->setGeometry(PxX(60), PxY(1020), PxX(kFrameWidth), 2);
    lblSep_.append(NewSeparator(this, 1, false));
    lblSep_[1]->setGeometry(PxX(60), PxY(3480), PxX(kFrameWidth), 2);
    lblSep_.append(NewSeparator(contacts, 2, true));
    lblSep_[2]->setGeometry(PxX(3060), PxY(120), 2, PxY(kContactsFrameHeight - 240));
    for (int i = 0; i < 3; ++i) {
        lblQuillbarrow_.append(NewLabel(contacts, QStringLiteral("lblQuillbarrow"), i, QString()));
        lblQuillbarrow_[i]->setGeometry(PxX(60), PxY(180 + 300 * i), PxX(2940), PxY(300));
        lblQuillbarrow_[i]->setAlignment(Qt::AlignCenter);
        lblDealer_.append(NewLabel(contacts, QStringLiteral("lblDealer"), i, QString()));
        lblDealer_[i]->setGeometry(PxX(3120), PxY(180 + 300 * i), PxX(3000), PxY(300));
        lblDealer_[i]->setAlignment(Qt::AlignCenter);
    }
    for (int i = 0; i < 2; ++i) {
        const int32_t protocol = i == 0 ? 2 : 4;
        lnkQuillbarrow_.append(
            NewLink(contacts, QStringLiteral("lnkQuillbarrow"), i, maker, protocol));
        lnkQuillbarrow_[i]->move(0, PxY(1200 + 300 * i));
        lnkDealer_.append(NewLink(contacts, QStringLiteral("lnkDealer"), i, maker, protocol));
        lnkDealer_[i]->move(PxX(3180), PxY(1200 + 300 * i));
    }

    btnOK_ = new platform::CommandButton(this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->SetCaption(QStringLiteral("OK"));
    btnOK_->setGeometry(PxX((kInnerWidth - 1500) / 2), PxY(3600), PxX(1500), PxY(450));
    connect(btnOK_, &platform::CommandButton::Click, this, &QDialog::accept);
    setFixedSize(PxX(kInnerWidth), PxY(4200));
}

QString AboutForm::DealerBlock(const QString& language, int32_t country) {
    if (language == QLatin1String("RO") && country == 2)
        return QStringLiteral("strContactsRomania");
    if (language == QLatin1String("EN") && country == 3)
        return QStringLiteral("strContactsKenya");
    if (language == QLatin1String("US") && country == 9)
        return QStringLiteral("strContactsUSA");
    return QString();
}

QString AboutForm::VersionLine(const QString& number, const QString& buildDate) {
    return QStringLiteral("Version ") + QStringLiteral(" ") + number + QStringLiteral(" (build ") +
           buildDate + QStringLiteral(")");
}

void AboutForm::Form_Load() {
    ApplySkinToForm(this);
    ResManager().SetLanguage(this);

    const QString language = settings_.Language;
    const int32_t country = settings_.Country;
    const QIcon icon = MainForm() ? MainForm()->windowIcon() : QApplication::windowIcon();
    if (!icon.isNull())
        image1_->setPixmap(icon.pixmap(32, 32));
    const bool cyrillic = language == QLatin1String("BG") || language == QLatin1String("RU");
    image2_->setVisible(cyrillic);
    image3_->setVisible(!cyrillic);

    BuildVersionClass& version = AppVersion();
    lblVersion_->setText(VersionLine(
        version.Number(), rt::FormatDate(rt::FromDateSerial(version.DateLong()), ShortDateFormat)));

    const QString dealer = DealerBlock(language, country);
    frmAbout_[1]->move(PxX(dealer.isEmpty() ? kFrameOutOfView : kFrameInView), frmAbout_[1]->y());
    frmAbout_[0]->move(PxX(dealer.isEmpty() ? kFrameInView : kFrameOutOfView), frmAbout_[0]->y());
    if (!dealer.isEmpty()) {
        const int d = frmAbout_[1]->height() - frmAbout_[0]->height();
        setFixedSize(width(), height() + d);
        btnOK_->move(btnOK_->x(), btnOK_->y() + d);
        lblSep_[1]->move(lblSep_[1]->x(), lblSep_[1]->y() + d);
        // A block with fewer fields leaves the remaining controls as designed.
        const QStringList makerFields = ResManager()
                                            .GetResString(QStringLiteral("strContactsBulgaria"))
                                            .split(QLatin1Char('|'));
        for (int i = 0; i < 3 && i < makerFields.size(); ++i)
            lblQuillbarrow_[i]->setText(makerFields[i]);
        const QStringList dealerFields = ResManager().GetResString(dealer).split(QLatin1Char('|'));
        for (int i = 0; i < 3 && i < dealerFields.size(); ++i)
            lblDealer_[i]->setText(dealerFields[i]);
        if (dealerFields.size() > 3 && !dealerFields[3].isEmpty())
            lnkDealer_[0]->SetURL(dealerFields[3]);
        if (dealerFields.size() > 4 && !dealerFields[4].isEmpty())
            lnkDealer_[1]->SetURL(dealerFields[4]);
    }

    const int sepLeft = lblSep_[2]->x();
    for (int i = 0; i < 2; ++i) {
        LinkLabel* about = lnkAbout_[i];
        about->move((width() - about->width()) / 2, about->y());
        QString url = about->URL();
        if (i == 0)
            url += QStringLiteral("/") + language.toLower() + QStringLiteral("/");
        lnkQuillbarrow_[i]->SetURL(url);
        LinkLabel* own = lnkQuillbarrow_[i];
        own->move((sepLeft - own->width()) / 2, own->y());
        LinkLabel* theirs = lnkDealer_[i];
        theirs->move(
            sepLeft + (frmAbout_[1]->width() - sepLeft + lblSep_[2]->width() - theirs->width()) / 2,
            theirs->y());
    }
    if (language == QLatin1String("RU") && country == 1) {
        lnkAbout_[0]->setVisible(false);
        lnkAbout_[2]->move(lnkAbout_[0]->pos());
        lnkAbout_[2]->setVisible(true);
    }
}

bool AboutForm::PreviewKey(QWidget*, QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        accept();
        return true;
    }
    return false;
}

void ShowAboutForm(const ConfigurationRecord& settings) {
    AboutForm form(settings);
    Shown() = &form;
    form.exec();
}

void UnloadAboutForm() {
    if (AboutForm* form = Shown())
        form->reject();
}
