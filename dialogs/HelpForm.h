#pragma once

#include <QString>
#include <QVector>
#include <cstdint>

#include "core/KeyPreviewDialog.h"

struct ConfigurationRecord;
class QLineEdit;
namespace platform {
class CommandButton;
class ImageList;
class ListView;
class RichTextBox;
}  // namespace platform

// The board's modal help window: page 0 the hot keys the operator may use,
// page 1 the action buttons with their pictures and keys, page 2 the tail of
// the error log with a button that opens the log's folder. It reads the
// hot-key table, the active user, the notification mode of the settings
// record it is given (which outlives it) and the log, and changes nothing.
// Built anew at each show.
class HelpForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    explicit HelpForm(const ConfigurationRecord& settings, QWidget* parent = nullptr);

    // Appends "keyText - name" to the key list, CR LF after it unless isLast.
    void AddKeyLine(const QString& keyText, const QString& name, bool isLast);
    void AddButtonItem(const QString& pictureName, const QString& caption, int32_t functionId);
    // Page 2 from the log: its path, and its last 100000 bytes when it exists.
    void LoadErrorLog();

    // Page selection by tab index 0..2.
    void btnTab_Click(int index);
    void btnOpen_Click();
    void btnAbout_Click();
    void btnOK_Click();

    int16_t KeyLineCount() const { return keyLineCount_; }
    int16_t KeyListWidth() const { return keyListWidth_; }
    // The key list as written, CR LF line ends included.
    QString KeyListText() const { return keyListText_; }
    // The page shown: 0, 1 or 2.
    int Page() const { return page_; }
    // The folder btnOpen opens for a log file path.
    static QString LogFolder(const QString& logFileName);
    // Sizes of the load step, in twips: the key list box and the window.
    struct Sizes {
        int ListWidth = 0;
        int ListHeight = 0;
        int WindowWidth = 0;
        int WindowHeight = 0;
    };
    // tabsWidth: what the three tabs need to show their captions whole.
    static Sizes ComputeSizes(int keyListWidth, int keyLineCount, int screenHeightTwips,
                              int tabsWidth = 0);

    platform::CommandButton* btnTab(int i) const { return btnTab_.value(i); }
    platform::RichTextBox* rtbHelp() const { return rtbHelp_; }
    platform::ListView* lvHelp() const { return lvHelp_; }
    platform::ImageList* imlButtons() const { return imlButtons_; }
    platform::RichTextBox* rtbError() const { return rtbError_; }
    QLineEdit* lblActivefolder() const { return lblActivefolder_; }
    platform::CommandButton* btnOpen() const { return btnOpen_; }
    platform::CommandButton* btnAbout() const { return btnAbout_; }
    platform::CommandButton* btnOK() const { return btnOK_; }

protected:
    // Escape and Enter close the window; F7 to F9, and 1 to 3 of the main
    // keyboard with exactly Shift or Ctrl, choose page 0 to 2.
    bool PreviewKey(QWidget* receiver, QKeyEvent* event) override;
    // Focus on the log's path selects it.
    bool ControlEvent(QWidget* control, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build();
    void Form_Load();
    void LoadKeyList();
    void LoadButtonsList();
    void ApplySizes();
    // The tab buttons share the inner width in three equal parts.
    void LayoutTabs();

    QVector<platform::CommandButton*> btnTab_;
    platform::RichTextBox* rtbHelp_ = nullptr;
    platform::ListView* lvHelp_ = nullptr;
    platform::ImageList* imlButtons_ = nullptr;
    platform::RichTextBox* rtbError_ = nullptr;
    QLineEdit* lblActivefolder_ = nullptr;
    platform::CommandButton* btnOpen_ = nullptr;
    platform::CommandButton* btnAbout_ = nullptr;
    platform::CommandButton* btnOK_ = nullptr;

    int16_t keyLineCount_ = 0;
    int16_t keyListWidth_ = 230;
    QString keyListText_;
    int page_ = -1;
    const ConfigurationRecord& settings_;
};

// Shows the help window on settings modally and returns when it unloads.
void ShowHelpForm(const ConfigurationRecord& settings);
// Closes a help window that is still shown (the board's unload).
void UnloadHelpForm();
