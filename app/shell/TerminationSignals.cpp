// SPDX-License-Identifier: MIT
#include "TerminationSignals.h"

#include <cstdio>

#include "MainWindow.h"

namespace dmm {

TerminationSignals::TerminationSignals(TFormMain* mainWindow)
{
    if (!m_pipe.install()) {
        std::fputs("dmmlogger: cannot install the termination signal handlers\n", stderr);
        return;
    }
    connect(&m_pipe, &SignalPipe::terminationRequested, mainWindow,
            &TFormMain::closeWithoutQuestions);
}

} // namespace dmm
