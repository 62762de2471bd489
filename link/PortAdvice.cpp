// SPDX-License-Identifier: MIT
#include "PortAdvice.h"

#include <QDir>
#include <QFileInfo>

#include "StringTable.h"

namespace dmm {

namespace {

enum AdviceText : int
{
    kStrTriedWithoutLink = 9180,
    kStrTriedThroughLink = 9181,
    kStrLinkTargetGone = 9182,
    kStrTriedThroughFile = 9183,
    kStrJoinDeviceGroup = 9184,
    kStrAdaptersFound = 9185,
    kStrLinkOneOfThem = 9186,
    kStrNoAdapterFound = 9187,
};

QString deviceLine(const PortEntry& entry, const QString& name, const QString& folder,
                   const QString& device)
{
    switch (entry.kind) {
    case PortEntry::Missing:
        return tableString(kStrTriedWithoutLink).arg(device, name, folder);
    case PortEntry::Link:
        return tableString(kStrTriedThroughLink).arg(device, name, folder);
    case PortEntry::DanglingLink:
        return tableString(kStrLinkTargetGone).arg(entry.target, name, folder);
    case PortEntry::OtherFile:
        return tableString(kStrTriedThroughFile).arg(device, name, folder);
    }
    return {};
}

// Only members of the device's group may open it: which group to join.
void addGroupHint(QStringList& lines, const QString& device, const PortError& error)
{
    if (error.cause != PortError::NoPermission)
        return;
    // A device of the superuser's group is no matter of membership.
    const QFileInfo info(device);
    const QString group = info.group();
    if (!group.isEmpty() && info.groupId() != 0)
        lines << tableString(kStrJoinDeviceGroup).arg(group, device);
}

// The adapters found; `name` is the COMn the port dialog can link, or empty.
void addAdapters(QStringList& lines, const QList<SerialAdapter>& adapters, const QString& name)
{
    if (adapters.isEmpty()) {
        lines << tableString(kStrNoAdapterFound);
        return;
    }
    lines << tableString(kStrAdaptersFound);
    for (const SerialAdapter& adapter : adapters)
        lines << QStringLiteral("  ") + adapter.label();
    if (!name.isEmpty())
        lines << tableString(kStrLinkOneOfThem).arg(name);
}

} // namespace

QString portOpenAdvice(int port, const QString& startupDirectory, const PortError& error,
                       const QList<SerialAdapter>& adapters)
{
    QStringList lines;
    if (const QString detail = portErrorDetail(port, error); !detail.isEmpty())
        lines << detail;
    const QString name = portName(port);
    if (name.isEmpty())
        return lines.join(QLatin1Char('\n'));

    const QString folder = QDir::toNativeSeparators(QDir(startupDirectory).absolutePath());
    const QString device =
        error.devicePath.isEmpty() ? portDevicePath(port, startupDirectory) : error.devicePath;
    lines << deviceLine(portEntry(port, startupDirectory), name, folder, device);
    addGroupHint(lines, device, error);
    // The port is there and another program has it: linking an adapter as it
    // would take the busy one away from that program, not mend anything.
    addAdapters(lines, adapters, error.cause == PortError::InUse ? QString() : name);
    return lines.join(QLatin1Char('\n'));
}

QString deviceOpenAdvice(const QString& device, const PortError& error,
                         const QList<SerialAdapter>& adapters)
{
    QStringList lines{error.reason.isEmpty() ? device : device + QStringLiteral(": ") + error.reason};
    addGroupHint(lines, device, error);
    addAdapters(lines, adapters, {});
    return lines.join(QLatin1Char('\n'));
}

} // namespace dmm
