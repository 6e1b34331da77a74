#include "platform/UserLocale.h"

#include <QtGlobal>

unsigned LcidFromLocaleVariables(const QString& lcAll, const QString& lcMessages,
                                 const QString& lang)
{
    for (const QString& value : {lcAll, lcMessages, lang}) {
        if (value.isEmpty())
            continue;
        return value.startsWith(QLatin1String("ja")) ? LcidJapanese : LcidEnglishUs;
    }
    return LcidEnglishUs;
}

unsigned UserDefaultLcid()
{
    return LcidFromLocaleVariables(qEnvironmentVariable("LC_ALL"),
                                   qEnvironmentVariable("LC_MESSAGES"),
                                   qEnvironmentVariable("LANG"));
}
