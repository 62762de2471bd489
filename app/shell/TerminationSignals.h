// SPDX-License-Identifier: MIT
// SIGTERM, SIGHUP and SIGINT (systemctl stop, a logout, a closed terminal,
// Ctrl+C) end the program as its close command does, without questions: a
// running run is stopped and its temporary file synced and kept when its
// readings are unsaved, the settings are written, the port is closed, and the
// program exits with status 0.
#pragma once

#include <QObject>

#include "SignalPipe.h"

namespace dmm {

class TFormMain;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(TFormMain* mainWindow);

private:
    SignalPipe m_pipe;
};

} // namespace dmm
