// SPDX-License-Identifier: MIT
// What the user can do when a port does not open: the detail of the
// open-error box.
#pragma once

#include <QList>
#include <QString>

#include "SerialAdapters.h"
#include "SerialLink.h"

namespace dmm {

// "COM2: <reason>", then the device that was tried and where the COMn link
// is looked for (the start-up directory), a hint about group membership when
// the device refused the user, and the serial adapters found with the advice
// to link one from the port dialog (or that none was found).
QString portOpenAdvice(int port, const QString& startupDirectory, const PortError& error,
                       const QList<SerialAdapter>& adapters);

// The same for a device given by its path (dmm-log --port /dev/ttyUSB0):
// "DEVICE: <reason>", the group hint and the adapters found.
QString deviceOpenAdvice(const QString& device, const PortError& error,
                         const QList<SerialAdapter>& adapters);

} // namespace dmm
