#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "core/KeyPreviewDialog.h"

struct ConfigurationRecord;
namespace platform {
class CommandButton;
class DataGrid;
}  // namespace platform

// The goods-group picker: up to 15 rows, each a top-level goods group chosen
// from a list, handed back as one selection string (codes joined by "|").
// It starts from the GoodsGroups setting of the record it is given and
// writes nothing itself.
//
// Loading runs in the constructor. The opener shows it modally and then reads
// result(): what Save, Default or Cancel (any way out, the close box
// included) set; empty until one of them ran.
class SetupGroupsForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    // settings outlives the picker.
    explicit SetupGroupsForm(const ConfigurationRecord& settings, QWidget* parent = nullptr);

    QString result() const;

public slots:
    // Cancel's answer: the stored setting.
    void reject() override;

public:
    // Appends one row: caption with the position, name, code, "0".
    void AddGroupRow(int16_t position, const QString& name, const QString& code);

    // The selection string of the rows' codes in order: empty codes skipped,
    // each code once at the place of its first row (case-sensitive).
    static QString BuildSelection(const QStringList& codes);

protected:
    // Enter saves unless a list is open, Escape cancels, F5 is Default.
    bool PreviewKey(QWidget* receiver, QKeyEvent* key) override;
    // Top-most, the default cursor and the grid focused.
    void Form_Activate() override;

private:
    void Form_Load();
    void LoadRows();
    // Maps the current row's chosen list entry to its group code.
    void MapChoiceToCode();
    void dgView_RowColChange();
    void dgView_DblClick();
    void btnSave_Click();
    void btnDefault_Click();
    void btnCancel_Click();

    platform::DataGrid* dgView = nullptr;
    platform::CommandButton* btnSave = nullptr;
    platform::CommandButton* btnDefault = nullptr;
    platform::CommandButton* btnCancel = nullptr;
    bool DropDownOpen = false;
    const ConfigurationRecord& settings_;
    QString result_;
};
