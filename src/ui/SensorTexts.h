#pragma once

#include "core/SensorReadings.h"

#include <QLocale>
#include <QString>

class TMRes;

// Why a measurement is missing, in the open language; the program's own words without one.
QString SensorAbsenceText(SensorAbsence absence, const TMRes* res = nullptr);

// "57.5 °C".
QString CelsiusText(double celsius, const QLocale& locale);
