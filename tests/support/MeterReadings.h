// SPDX-License-Identifier: MIT
// Readings the tests let the meter show.
#pragma once

#include <QByteArray>

#include "CurrentReading.h"
#include "MeterFunction.h"

// An AC volts reading whose display shows `digits` (" 2.000"), exponent 0.
inline dmm::CurrentReading acVoltsReading(const char* digits)
{
    dmm::CurrentReading reading;
    reading.sDigits = digits;
    reading.sExponent = "0";
    reading.iFunction = dmm::functionCode(dmm::MeterFunction::AcVolts);
    reading.szValue = QByteArray(digits).trimmed().constData();
    reading.szUnit = "V";
    return reading;
}
