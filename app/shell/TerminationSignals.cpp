// SPDX-License-Identifier: MIT
#include "TerminationSignals.h"

#include <QCoreApplication>

#include <cstdio>

#include "MainWindow.h"

namespace dmm {

TerminationSignals::TerminationSignals()
{
    if (!m_pipe.install()) {
        std::fputs("dmmlogger: cannot install the termination signal handlers\n", stderr);
        return;
    }
    connect(&m_pipe, &SignalPipe::terminationRequested, this, &TerminationSignals::requested);
}

void TerminationSignals::endProgramWith(TFormMain* mainWindow)
{
    m_mainWindow = mainWindow;
    if (m_pending)
        QMetaObject::invokeMethod(mainWindow, &TFormMain::closeWithoutQuestions,
                                  Qt::QueuedConnection);
}

void TerminationSignals::requested()
{
    if (m_mainWindow) {
        m_mainWindow->closeWithoutQuestions();
        return;
    }
    // The windows are still being built, maybe behind a start-up box: that
    // box is ended (its event loop left) and the close follows once the main
    // window is there.
    m_pending = true;
    QCoreApplication::exit(0);
}

} // namespace dmm
