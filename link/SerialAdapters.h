// SPDX-License-Identifier: MIT
// The serial adapters plugged into the machine (USB serial cables and the
// like) and the COMn links in the start-up directory that make one of them a
// port of the program.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace dmm {

struct SerialAdapter
{
    QString device;     // the device node itself, e.g. /dev/ttyUSB0
    QString stableName; // its /dev/serial/by-id link, which survives replugging; may be empty

    // What a COMn link should point at: the stable name where there is one.
    QString linkTarget() const { return stableName.isEmpty() ? device : stableName; }
    // "usb-FTDI_FT232R_USB_UART_A1-if00-port0 (/dev/ttyUSB0)", or the device alone.
    QString label() const;
};

// Where adapters are looked for; tests point both at folders of their own.
struct AdapterSearchRoots
{
    QString byIdDirectory = QStringLiteral("/dev/serial/by-id");
    QString deviceDirectory = QStringLiteral("/dev"); // its ttyUSB* and ttyACM*
};

// Every adapter found: first those with a stable name (by name), then the
// ttyUSB* and ttyACM* devices no stable name stands for. Links whose device
// is gone are left out.
QList<SerialAdapter> findSerialAdapters(const AdapterSearchRoots& roots);

// The roots the program searches: the system's unless a test set others.
const AdapterSearchRoots& adapterSearchRoots();
void setAdapterSearchRoots(const AdapterSearchRoots& roots);

// What the start-up directory holds under a port's name.
struct PortEntry
{
    enum Kind
    {
        Missing,
        Link,         // a symbolic link whose target exists
        DanglingLink, // a symbolic link whose target is gone
        OtherFile     // a regular file, a folder or a device: not a link
    };
    Kind kind = Missing;
    QString path;   // <startup directory>/COMn
    QString target; // where a link points, as written in the link
};

PortEntry portEntry(int port, const QString& startupDirectory);

// Whether two paths lead to the same file (a by-id link and its device do).
bool sameDevice(const QString& a, const QString& b);

// Makes COMn in the start-up directory a symbolic link to `target`. An entry
// already there is replaced only when `replace` is set (a folder never is).
// Nothing on success; otherwise the system's reason.
std::optional<QString> linkPort(int port, const QString& startupDirectory, const QString& target,
                                bool replace);

} // namespace dmm
