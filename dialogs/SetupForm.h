#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

#include "core/KeyPreviewDialog.h"
#include "platform/Variant.h"

struct ConfigurationRecord;
struct Setting;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
namespace platform {
class CommandButton;
class DataGrid;
}  // namespace platform

// What the settings dialog hands back to its opener.
struct SetupResult {
    // Save wrote the configuration file, and the record holds what it wrote.
    bool DialogAccepted = false;
    // The notification mode, the database type or a connection field was
    // edited (the goods groups of the old database were dropped on Save).
    bool ConnectionChanged = false;
};

// The settings dialog: notification mode, database connection, station port
// and password, language, country and colour scheme on the first tab, the
// station options grid on the second. It shows the settings record it is
// given; Save copies the controls into a copy of the record (the first tab
// through its table of fields, Fields()), writes the copy to the
// configuration file and, only when the file took it, puts the copy into the
// record. A refused Save, Cancel and a close leave the record as it was.
// Everything after the dialog (reconnecting, restoring a previewed language or
// skin after Cancel) is the opener's.
//
// Loading runs in the constructor. Selecting list entries and setting texts
// raise the controls' handlers synchronously, and the loading order relies on
// that; ConnectionChanged is cleared once loading is over. The dialog watches
// every key of its own window before the focused control sees it.
class SetupForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    // settings: the record shown and, after a Save, saved; it outlives the
    // dialog.
    explicit SetupForm(ConfigurationRecord& settings, QWidget* parent = nullptr);
    ~SetupForm() override;

    // Save wrote the file and the record (the dialog was accepted).
    bool DialogAccepted() const;
    // A change of the mode, the database type or a connection field since
    // loading.
    bool ConnectionChanged() const { return connectionChanged_; }

protected:
    // Form_KeyDown first; then port boxes drop printable non-digits.
    bool PreviewKey(QWidget* receiver, QKeyEvent* key) override;
    // Focus on a box of the first tab selects its text; a port box checks
    // its port when it loses the focus.
    bool ControlEvent(QWidget* control, QEvent* event) override;
    void Form_Activate() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // How an input of the first tab shows its setting and gives it back.
    enum class FieldKind {
        Text,        // a text box holding the text as it stands
        Repeat,      // a text box repeating the field before it: loaded, never saved
        Port,        // a port box: a text that is no port keeps the stored port
        List,        // a list whose entries carry their values as item data; a
                     // value no entry carries opens as the first entry
        ListOrNone,  // the same, but such a value opens with no entry selected
        Language,    // the language list: filled and selected from the
                     // dictionary's languages, saved as its position's code
    };
    // An input of the first tab and the setting it edits. A list without a
    // selection keeps the stored value on Save.
    struct Field {
        const char* Key;
        FieldKind Kind;
        QLabel* Label;  // names the field to the operator
        QWidget* Input;
    };

    // The dialog's own handlers (SetupForm.cpp).
    void Form_Load();
    // Every input of the first tab that edits a setting, in loading order.
    std::vector<Field> Fields() const;
    void LoadField(const Field& field, const ConfigurationRecord& record);
    void StoreField(const Field& field, ConfigurationRecord& record) const;
    // True when the key was the dialog's.
    bool Form_KeyDown(int keyCode, int shift);
    // Tab at the options grid's last row (Shift+Tab at its first) moves the
    // focus out of the grid; true when it did.
    bool LeaveOptionsGrid(QWidget* receiver, QKeyEvent* key);
    void btnSave_Click();
    void ReportLostLetters(const Setting& setting, const QString& letters);
    void btnCancel_Click();

    // Construction and layout (SetupFormLayout.cpp).
    void BuildControls();
    void BuildConnectionRows(QWidget* page);
    void ConnectControls();
    void ChainTabOrder();
    void Form_Resize();

    // The first tab (SetupFormConnection.cpp).
    void ArrangeConnectionControls();
    void cbCommunicationMethod_Click();
    void cbDBType_Click();
    void cbLanguage_Click();
    void cbColorScheme_Click();
    void ConnectionText_Change(QLineEdit* box);
    void tbPort_Change(QLineEdit* box);
    void tbPort_LostFocus(QLineEdit* box);
    void ShowTab(int index);
    void btnFileOpen_Click();
    void btnTestConnection_Click();

    // The options grid (SetupOptionsGrid.cpp).
    void BuildOptionsGrid(QWidget* page);
    void FillOptionsGrid();
    void AddOptionRow(const QString& caption, const QString& key, const Variant& value);
    void CopyOptionsIntoRecord(ConfigurationRecord& record);
    QString CurrentOptionKey() const;
    void dgView_RowColChange();
    void dgView_Change();
    void dgView_DblClick();
    void dgView_KeyDown(int* keyCode);
    void dgView_KeyPress(int* keyAscii);
    void dgView_BtnClick();

    platform::CommandButton* btnTab(int i) const { return tabButtons_.value(i); }
    QFrame* frmTab(int i) const { return tabFrames_.value(i); }

    QList<platform::CommandButton*> tabButtons_;
    QList<QFrame*> tabFrames_;
    QLabel* lblCommunication = nullptr;
    QComboBox* cbCommunicationMethod = nullptr;
    QLabel* lblDBType = nullptr;
    QComboBox* cbDBType = nullptr;
    QLabel* lblPath = nullptr;
    QLineEdit* tbPath = nullptr;
    platform::CommandButton* btnFileOpen = nullptr;
    QLabel* lblServerName = nullptr;
    QLineEdit* tbServerName = nullptr;
    QLabel* lblLocalServerName = nullptr;
    QLineEdit* tbLocalServerName = nullptr;
    QLabel* lblName = nullptr;
    QLineEdit* tbName = nullptr;
    QLabel* lblUser = nullptr;
    QLineEdit* tbUser = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* tbPassword = nullptr;
    platform::CommandButton* btnTestConnection = nullptr;
    QLabel* lblIPPort = nullptr;
    QLineEdit* tbIP = nullptr;
    QLineEdit* tbPortUDP = nullptr;
    QLineEdit* tbPortTCP = nullptr;
    QLabel* lblPass1 = nullptr;
    QLineEdit* tbPass1 = nullptr;
    QLabel* lblPass2 = nullptr;
    QLineEdit* tbPass2 = nullptr;
    QLabel* lblLanguage = nullptr;
    QComboBox* cbLanguage = nullptr;
    QLabel* lblCountry = nullptr;
    QComboBox* cbCountry = nullptr;
    QLabel* lblColorScheme = nullptr;
    QComboBox* cbColorScheme = nullptr;
    platform::DataGrid* dgView = nullptr;
    platform::CommandButton* btnSave = nullptr;
    platform::CommandButton* btnCancel = nullptr;

    ConfigurationRecord& settings_;
    bool connectionChanged_ = false;
    bool DropDownOpen = false;
    bool ActivatedOnce = false;
    QString GoodsGroupsSelection;
    // The language-dependent widening of the first tab's labels is applied
    // once, however often the dialog is resized.
    bool resizedOnce_ = false;
};

// Shows the settings dialog on settings modally (owned by the board); when it
// was not accepted, the board's texts are put back as they were before its
// language preview.
SetupResult ShowSetupForm(ConfigurationRecord& settings);

// The database file chosen by the operator starting from `current` (a full
// path, or empty); `current` itself when nothing was chosen.
QString BrowseDatabaseFile(const QString& current);
