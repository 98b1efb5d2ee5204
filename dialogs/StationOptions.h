#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "core/Configuration.h"

class Variant;

// The rules of the station options grid, free of the grid: which settings it
// shows, the text a row shows for a value, and the setting a row's stored
// value becomes on Save. A key the settings do not know is an on/off row.

// The digits row keeps, writes and shows this many digits.
inline constexpr int kOptionDigits = 3;

// The settings the grid shows, in the grid's order; the database-mode rows
// only when mode 2 is chosen.
QList<const Setting*> OptionRows(bool databaseMode);

// The kind of a key's row.
OptionKind OptionKindOf(const QString& key);

// The index of a list row's last entry.
int LastOptionIndex(const QString& key);

// The value a row of the grid starts from: the flag, the range's position,
// the text.
Variant OptionValue(const Setting& setting, const ConfigurationRecord& record);

// The display text of a station option's value; empty for an index the
// option does not know.
QString GetOptionDisplayText(const QString& key, int16_t index);

// Sets the record's field of one options-grid row from its stored value; the
// goods-group row takes the dialog's selection instead. Keys without a row
// set nothing.
void CopyOptionIntoRecord(ConfigurationRecord& record, const QString& key, const QString& realValue,
                          const QString& goodsGroupsSelection);
