#pragma once

#include <QString>

// The SSTP event sent when the user exits, by how long the program ran: within the first
// minute, within six hours, or longer.
inline QString ExitEventName(qint64 msecsSinceStart)
{
    constexpr qint64 minute = 60 * 1000;
    constexpr qint64 sixHours = 6 * 60 * minute;
    if (msecsSinceStart <= minute)
        return QStringLiteral("UserExitA");
    if (msecsSinceStart < sixHours)
        return QStringLiteral("UserExitC");
    return QStringLiteral("UserExitB");
}
