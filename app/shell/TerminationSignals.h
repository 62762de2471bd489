// SPDX-License-Identifier: MIT
// SIGTERM, SIGHUP and SIGINT (systemctl stop, a logout, a closed terminal,
// Ctrl+C) end the program as its close command does, without questions: a
// running run is stopped and its temporary file synced and kept when its
// readings are unsaved, the settings are written, the port is closed, and the
// program exits with status 0.
#pragma once

#include <QObject>
#include <QPointer>

#include "SignalPipe.h"

namespace dmm {

class TFormMain;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Catches the signals from now on; made right after the application.
    TerminationSignals();

    // The window whose close ends the program. A signal that came before (a
    // box of the start-up was open) closes it as soon as it is given.
    void endProgramWith(TFormMain* mainWindow);

private:
    void requested();

    SignalPipe m_pipe;
    QPointer<TFormMain> m_mainWindow;
    bool m_pending = false;
};

} // namespace dmm
