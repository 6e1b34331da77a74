#pragma once

#include <QString>

// Windows locale identifiers of the two languages the program tells apart.
inline constexpr unsigned LcidJapanese = 0x0411;
inline constexpr unsigned LcidEnglishUs = 0x0409;
inline constexpr unsigned LangJapanese = 17; // primary language id, the low byte of the LCID

// The locale identifier of the user's language. The first of LC_ALL, LC_MESSAGES and LANG that
// is set decides, as for any POSIX program; a value beginning with "ja" is Japanese.
unsigned LcidFromLocaleVariables(const QString& lcAll, const QString& lcMessages,
                                 const QString& lang);
unsigned UserDefaultLcid();
