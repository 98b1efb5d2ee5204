#pragma once

#include <QString>
#include <QVector>

#include "core/KeyPreviewDialog.h"

struct ConfigurationRecord;
class QFrame;
class QLabel;
class LinkLabel;
namespace platform {
class CommandButton;
}

// The modal about box: caption, version line, the logo of the language and
// either the maker's frame or, for a dealer's language and country, the
// contacts frame with the maker's and the dealer's blocks, by the language and
// country of the settings record it is given. It changes nothing.
class AboutForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    explicit AboutForm(const ConfigurationRecord& settings, QWidget* parent = nullptr);

    // The dealer block resource for a language and country: "" when none.
    static QString DealerBlock(const QString& language, int32_t country);
    // "Version  " & number & " (build " & date & ")".
    static QString VersionLine(const QString& number, const QString& buildDate);

    QLabel* Image1() const { return image1_; }
    QLabel* Image2() const { return image2_; }
    QLabel* Image3() const { return image3_; }
    QLabel* lblCaption() const { return lblCaption_; }
    QLabel* lblVersion() const { return lblVersion_; }
    QFrame* frmAbout(int i) const { return frmAbout_.value(i); }
    LinkLabel* lnkAbout(int i) const { return lnkAbout_.value(i); }
    QLabel* lblQuillbarrow(int i) const { return lblQuillbarrow_.value(i); }
    LinkLabel* lnkQuillbarrow(int i) const { return lnkQuillbarrow_.value(i); }
    QLabel* lblDealer(int i) const { return lblDealer_.value(i); }
    LinkLabel* lnkDealer(int i) const { return lnkDealer_.value(i); }
    QFrame* lblSep(int i) const { return lblSep_.value(i); }
    platform::CommandButton* btnOK() const { return btnOK_; }

protected:
    // Escape and Enter close the box; other keys are passed on.
    bool PreviewKey(QWidget* receiver, QKeyEvent* event) override;

private:
    void Build();
    void Form_Load();

    QLabel* image1_ = nullptr;
    QLabel* image2_ = nullptr;
    QLabel* image3_ = nullptr;
    QLabel* lblCaption_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblAddress_ = nullptr;
    QVector<QFrame*> frmAbout_;
    QVector<LinkLabel*> lnkAbout_;
    QVector<QLabel*> lblQuillbarrow_;
    QVector<LinkLabel*> lnkQuillbarrow_;
    QVector<QLabel*> lblDealer_;
    QVector<LinkLabel*> lnkDealer_;
    QVector<QFrame*> lblSep_;
    platform::CommandButton* btnOK_ = nullptr;
    const ConfigurationRecord& settings_;
};

// Shows the about box on settings modally and returns when it unloads.
void ShowAboutForm(const ConfigurationRecord& settings);
// Closes an about box that is still shown (the board's unload).
void UnloadAboutForm();
