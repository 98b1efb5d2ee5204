#include "dialogs/StationOptions.h"

#include "core/Configuration.h"
#include "localization/ResManagerClass.h"
#include "platform/Runtime.h"

QString GetOptionDisplayText(const QString& key, int16_t index) {
    if (key == QLatin1String("ObjectCodeRange")) {
        static const char* const kRanges[] = {"001 - 100", "101 - 200", "201 - 300", "301 - 400",
                                              "401 - 500", "501 - 600", "601 - 700", "701 - 800",
                                              "801 - 900", "001 - 1000"};
        return index >= 0 && index <= 9 ? QLatin1String(kRanges[index]) : QString();
    }
    if (key == QLatin1String("GoodsGroups")) {
        if (index == 0)
            return Res("strDefault");
        return index == 1 ? Res("strByChoice") : QString();
    }
    if (key == QLatin1String("PrefixUsers"))
        return rt::Format(index, QStringLiteral("000"));
    return index != 0 ? Res("strEnable") : Res("strDisable");
}

void CopyOptionIntoRecord(ConfigurationRecord& c, const QString& key, const QString& realValue,
                          const QString& goodsGroupsSelection) {
    const int16_t v = rt::CInt(rt::Val(realValue));
    if (key == QLatin1String("Restriction"))
        c.Restriction = v != 0;
    else if (key == QLatin1String("Assistant"))
        c.Assistant = v != 0;
    else if (key == QLatin1String("SoundNotification"))
        c.SoundNotification = v != 0;
    else if (key == QLatin1String("FocusNewOrder"))
        c.FocusNewOrder = v != 0;
    else if (key == QLatin1String("ObjectCodeRange"))
        c.ObjectCodeRange = int16_t(v + 1);
    else if (key == QLatin1String("GoodsGroups"))
        c.GoodsGroups = goodsGroupsSelection;
    else if (key == QLatin1String("AutoLock"))
        c.AutoLock = v != 0;
    else if (key == QLatin1String("FinishWholeOrder"))
        c.FinishWholeOrder = v != 0;
    else if (key == QLatin1String("PrefixUsers"))
        c.PrefixUsers = rt::Format(v, QStringLiteral("000"));
}
