#pragma once

#include <QVector>
#include <QWidget>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
namespace platform {
class CommandButton;
}

// The translation editor of the dictionary (started with "local"): the
// Bulgarian text of each built-in resource beside the text of a chosen
// language, saved straight into the dictionary; import of tab-separated texts
// and export for translators. It neither translates nor skins itself. Closing
// it ends the program (Unloaded).
class LocalizationForm final : public QWidget {
    Q_OBJECT
public:
    explicit LocalizationForm(QWidget* parent = nullptr);

    void cbLanguages_Click();
    void cbIndex_Click();
    void btnSave_Click();
    void btnImport_Click();
    void btnExport_Click(int index);

    QComboBox* cbIndex() const { return cbIndex_; }
    QComboBox* cbLanguages() const { return cbLanguages_; }
    QPlainTextEdit* tbBulgarian() const { return tbBulgarian_; }
    QPlainTextEdit* tbselected() const { return tbselected_; }
    QLabel* Label3() const { return label3_; }
    QLineEdit* Text1() const { return text1_; }
    platform::CommandButton* btnSave() const { return btnSave_; }
    platform::CommandButton* btnImport() const { return btnImport_; }
    platform::CommandButton* btnExport(int i) const { return btnExport_.value(i); }

signals:
    // The editor has closed; the program ends.
    void Unloaded();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    void Form_Load();
    // The code of the language chosen in cbLanguages.
    QString SelectedCode() const;
    // True when the language's code page keeps every letter of the text, or
    // the translator, told which letters would be stored as "?", chose to
    // save anyway; false sends the translator back to the text. Modal.
    bool ConfirmLostLetters(const QString& code, const QString& text);
    // Tells the translator that the dictionary could not be written; modal.
    void ReportWriteFailure();

    QLabel* lblIndex_ = nullptr;
    QComboBox* cbIndex_ = nullptr;
    QLabel* label1_ = nullptr;
    QComboBox* cbLanguages_ = nullptr;
    QLabel* label2_ = nullptr;
    QPlainTextEdit* tbBulgarian_ = nullptr;
    QLabel* label3_ = nullptr;
    QPlainTextEdit* tbselected_ = nullptr;
    platform::CommandButton* btnSave_ = nullptr;
    QGroupBox* frmImport_ = nullptr;
    QLineEdit* text1_ = nullptr;
    platform::CommandButton* btnImport_ = nullptr;
    QGroupBox* frmExport_ = nullptr;
    QVector<platform::CommandButton*> btnExport_;
    bool loading_ = false;
};

// Shows the editor without waiting. When it closes, the function set with
// SetLocalizationFormClosed runs (the start-up ends the program there); with
// none set the application's event loop is asked to quit.
void ShowLocalizationForm();
void SetLocalizationFormClosed(std::function<void()> onClosed);
// The editor ShowLocalizationForm shows; null before and after.
LocalizationForm* LocalizationFormInstance();
