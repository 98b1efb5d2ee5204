#pragma once

#include <QString>
#include <cstdint>

struct ConfigurationRecord;

// The rules of the station options grid, free of the grid: the text a row
// shows for a value, and the setting a row's stored value becomes on Save.

// The display text of a station option's value; empty for an index the
// option does not know.
QString GetOptionDisplayText(const QString& key, int16_t index);

// Sets the record's field of one options-grid row from its stored value; the
// goods-group row takes the dialog's selection instead. Unknown keys set
// nothing.
void CopyOptionIntoRecord(ConfigurationRecord& record, const QString& key, const QString& realValue,
                          const QString& goodsGroupsSelection);
