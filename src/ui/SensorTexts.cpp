#include "ui/SensorTexts.h"

#include "res/MRes.h"

QString SensorAbsenceText(SensorAbsence absence, const TMRes* res)
{
    switch (absence) {
    case SensorAbsence::None:
    case SensorAbsence::NotRead:
        break;
    case SensorAbsence::NoDriver:
        return TextOr(res, "C0180", QStringLiteral("no sensor driver"));
    case SensorAbsence::NotFound:
        return TextOr(res, "C0181", QStringLiteral("not found"));
    case SensorAbsence::NoBattery:
        return TextOr(res, "C0182", QStringLiteral("no battery"));
    case SensorAbsence::NoValue:
        return TextOr(res, "C0183", QStringLiteral("no value"));
    case SensorAbsence::Impossible:
        return TextOr(res, "C0184", QStringLiteral("impossible value"));
    case SensorAbsence::NotAnswering:
        return TextOr(res, "C0185", QStringLiteral("not answering"));
    }
    return {};
}

QString CelsiusText(double celsius, const QLocale& locale)
{
    return locale.toString(celsius, 'f', 1) + QStringLiteral(" \u00B0C");
}
