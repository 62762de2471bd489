// SPDX-License-Identifier: MIT
// The analog meter's inputs and the arithmetic behind its needle and panels.
#pragma once

#include <QPoint>
#include <QString>

#include "CurrentReading.h"
#include "FixedText.h"

namespace dmm {

// What the acquisition loop hands the analog meter for every decoded frame.
struct AnalogInputs
{
    int iFunction = 5;
    bool bNegative = false; // the value text had a minus sign
    int iFullScale = 6000;  // count at the end of the dial
    int iCount = 0;         // the value's digits without sign and point
    int iMultExp = 2;       // exponent shown on the multiplier panel
    FixedText<8> prefix;
    FixedText<8> unit;
};

// Derives the inputs from the reading. A value text without usable digits
// leaves count, full scale and multiplier as they were, except for an
// overload display, which drives the needle past the end of the dial.
void handOverAnalog(AnalogInputs& in, const CurrentReading& r);

// Where the needle stands for a count, in degrees (0 right, 90 straight up):
// 150 for zero, 30 at full scale, never below the 25-degree stop.
double analogNeedleAngle(int count, int fullScale);

// The dial face picture for a function code: 15 (0..20), 13 (0..10), 14 (0..2) or 30 (0..6).
int dialFaceFor(int function);

// "x" and trunc(10^exp): x1, x10, x100; a negative exponent gives x0.
QString multiplierText(int multExp);

// Tip of a needle of `length` pixels relative to its pivot, y growing downwards.
// The degree factor is the meter's own, a hair below pi/180, so the ends land
// on the same pixels as the printed marks were laid out for.
QPoint needleEnd(double angleDegrees, int length);

// The rest position of both needles before the first reading.
inline constexpr double kAnalogRestAngle = 150.0;

} // namespace dmm
