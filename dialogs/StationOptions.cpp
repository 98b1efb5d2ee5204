#include "dialogs/StationOptions.h"

#include <algorithm>

#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"
#include "platform/Variant.h"

namespace {

// The digits row's format pattern: one zero per digit.
const QString kDigitsPattern(kOptionDigits, QLatin1Char('0'));

const Setting* OptionOf(const QString& key) {
    const Setting* s = FindSetting(key);
    return s && s->option.position > 0 ? s : nullptr;
}

}  // namespace

QList<const Setting*> OptionRows(bool databaseMode) {
    QList<const Setting*> rows;
    for (const Setting& s : Settings()) {
        if (s.option.position > 0 && (databaseMode || !s.option.databaseModeOnly))
            rows.append(&s);
    }
    std::sort(rows.begin(), rows.end(), [](const Setting* a, const Setting* b) {
        return a->option.position < b->option.position;
    });
    return rows;
}

OptionKind OptionKindOf(const QString& key) {
    const Setting* s = OptionOf(key);
    return s ? s->option.kind : OptionKind::OnOff;
}

int LastOptionIndex(const QString& key) {
    const Setting* s = OptionOf(key);
    if (s && s->option.kind == OptionKind::CodeRange)
        return int(s->read.high - s->read.low);
    return 1;
}

Variant OptionValue(const Setting& s, const ConfigurationRecord& c) {
    switch (s.option.kind) {
        case OptionKind::OnOff:
            return s.Flag(c);
        case OptionKind::CodeRange:
            return s.Number(c) - int32_t(s.read.low);
        case OptionKind::GoodsGroups:
        case OptionKind::Digits:
            break;
    }
    return s.Text(c);
}

QString GetOptionDisplayText(const QString& key, int16_t index) {
    switch (OptionKindOf(key)) {
        case OptionKind::CodeRange: {
            static const char* const kRanges[] = {
                "001 - 100", "101 - 200", "201 - 300", "301 - 400", "401 - 500",
                "501 - 600", "601 - 700", "701 - 800", "801 - 900", "001 - 1000"};
            return index >= 0 && index <= 9 ? QLatin1String(kRanges[index]) : QString();
        }
        case OptionKind::GoodsGroups:
            if (index == 0)
                return Res("strDefault");
            return index == 1 ? Res("strByChoice") : QString();
        case OptionKind::Digits:
            return rt::Format(index, kDigitsPattern);
        case OptionKind::OnOff:
            break;
    }
    return index != 0 ? Res("strEnable") : Res("strDisable");
}

void CopyOptionIntoRecord(ConfigurationRecord& c, const QString& key, const QString& realValue,
                          const QString& goodsGroupsSelection) {
    const int16_t v = rt::CInt(rt::Val(realValue));
    const Setting* s = OptionOf(key);
    if (!s)
        return;
    switch (s->option.kind) {
        case OptionKind::OnOff:
            s->Flag(c) = v != 0;
            break;
        case OptionKind::CodeRange:
            s->SetNumber(c, v + int32_t(s->read.low));
            break;
        case OptionKind::GoodsGroups:
            s->Text(c) = goodsGroupsSelection;
            break;
        case OptionKind::Digits:
            s->Text(c) = rt::Format(v, kDigitsPattern);
            break;
    }
}
