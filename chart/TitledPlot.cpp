// SPDX-License-Identifier: MIT
#include "TitledPlot.h"

namespace dmm {

TitledPlot addTitledPlot(QWidget& owner)
{
    auto* plot = new QCustomPlot(&owner);
    plot->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(&owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot);
    owner.setFocusPolicy(Qt::StrongFocus);

    plot->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot, QString(),
                                     QFont(QStringLiteral("Times New Roman"), 12, QFont::Bold));
    plot->plotLayout()->addElement(0, 0, title);
    return {plot, title};
}

} // namespace dmm
