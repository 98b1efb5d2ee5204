#pragma once

#include <QDialog>
#include <QFont>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class QFrame;
class QLabel;
namespace platform {
class CommandButton;
class ImageList;
}  // namespace platform

// Result numbers of the message box.
inline constexpr int32_t kMsgOk = 1;
inline constexpr int32_t kMsgCancel = 2;
inline constexpr int32_t kMsgAbort = 3;
inline constexpr int32_t kMsgRetry = 4;
inline constexpr int32_t kMsgIgnore = 5;
inline constexpr int32_t kMsgYes = 6;
inline constexpr int32_t kMsgNo = 7;

// A style number is a sum of a button set, an icon and the default button.
inline constexpr int32_t kMsgYesNo = 4;
inline constexpr int32_t kMsgCritical = 16;
inline constexpr int32_t kMsgQuestion = 32;
inline constexpr int32_t kMsgExclamation = 48;
inline constexpr int32_t kMsgInformation = 64;
inline constexpr int32_t kMsgDefaultButton2 = 256;

// A style number decoded: button set 0..5, icon 0..4 (1 critical, 2
// question, 3 exclamation, 4 information), default button 0..3. A part out
// of its range is 0; a style that does not fit 16 bits signed decodes as 0.
struct MsgBoxStyleParts {
    int ButtonSet = 0;
    int Icon = 0;
    int DefaultButton = 0;
};
MsgBoxStyleParts ParseMsgBoxStyle(int64_t style);

// The buttons of a set as (caption resource name, result), left to right;
// the result kept when the box closes without a button; the 1-based button
// that Escape presses (0: none).
struct MsgBoxButtonSet {
    QList<std::pair<QString, int32_t>> Buttons;
    int32_t ClosingResult = kMsgOk;
    int EscapeButton = 0;
};
MsgBoxButtonSet MsgBoxButtons(int buttonSet);

// The message box dialog: skinned from the configuration's "Skin", button
// captions from the dictionary in the configuration's "Language" (English
// when either file is missing), always on top, laid out to fit the prompt.
// Every close that is not a button keeps the set's closing result, so the
// caller always gets an answer. Loaded when first shown.
class MsgBoxExForm final : public QDialog {
    Q_OBJECT
public:
    explicit MsgBoxExForm(QWidget* parent = nullptr);

    QString Prompt() const { return prompt_; }
    void SetPrompt(const QString& prompt) { prompt_ = prompt; }
    int32_t MsgBoxStyle() const { return style_; }
    void SetMsgBoxStyle(int32_t style) { style_ = style; }
    int32_t result() const { return result_; }
    // Blank reads as the default configuration path.
    QString ConfigFile() const;
    void SetConfigFile(const QString& path) { configFile_ = path; }
    QString DictionaryFile() const { return dictionaryFile_; }
    void SetDictionaryFile(const QString& path) { dictionaryFile_ = path; }
    std::optional<QFont> MessageFont() const { return messageFont_; }
    void SetMessageFont(const std::optional<QFont>& font) { messageFont_ = font; }

    // The controls, for whoever inspects the box (tests answer it by them).
    const QList<QLabel*>& MessageLines() const { return lblMessage_; }
    const QList<platform::CommandButton*>& ResultButtons() const { return btnResult_; }
    QLabel* IconLabel() const { return imgIcon_; }
    QFrame* ButtonFrame() const { return frmButtons_; }
    // The gap of the layout rules, 6 pixels.
    static constexpr int kGap = 6;
    static constexpr int kButtonWidth = 75;
    static constexpr int kButtonHeight = 23;

    // Builds the box from the properties, once. Showing the box loads it
    // first: the labels of the further lines must exist before the window is
    // shown, as a child made afterwards stays hidden.
    void FormLoad();

    void setVisible(bool visible) override;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyMessageSkin();
    void LoadResultButton(int number, const QString& captionKey, int32_t result);
    void ArrangeControls();
    void btnResult_Click(int index);

    QString prompt_;
    int32_t style_ = 0;
    int32_t result_ = kMsgOk;
    QString configFile_;
    QString dictionaryFile_;
    std::optional<QFont> messageFont_;
    MsgBoxStyleParts parts_;
    bool loaded_ = false;

    QList<QLabel*> lblMessage_;
    QLabel* imgIcon_ = nullptr;
    platform::ImageList* images_ = nullptr;
    QFrame* frmButtons_ = nullptr;
    QList<platform::CommandButton*> btnResult_;
};
