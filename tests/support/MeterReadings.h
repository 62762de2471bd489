// SPDX-License-Identifier: MIT
// Readings the tests let the meter show.
#pragma once

#include <QByteArray>

#include "CurrentReading.h"

// A DC volts reading whose display shows `digits` (" 2.000"), exponent 0.
inline dmm::CurrentReading dcVoltsReading(const char* digits)
{
    dmm::CurrentReading reading;
    reading.sDigits = digits;
    reading.sExponent = "0";
    reading.iFunction = 5;
    reading.szValue = QByteArray(digits).trimmed().constData();
    reading.szUnit = "V";
    return reading;
}
