// SPDX-License-Identifier: MIT
// The plot both charts are drawn on: a QCustomPlot filling its owner (which
// takes the keyboard focus, so that the arrows move the cursor), with a row
// for the title above the plot area.
#pragma once

#include <qcustomplot.h>

namespace dmm {

struct TitledPlot
{
    QCustomPlot* plot;
    QCPTextElement* title;
};

TitledPlot addTitledPlot(QWidget& owner);

} // namespace dmm
