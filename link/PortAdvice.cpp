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

    if (error.cause == PortError::NoPermission) {
        // A device of the superuser's group is no matter of membership.
        const QFileInfo info(device);
        const QString group = info.group();
        if (!group.isEmpty() && info.groupId() != 0)
            lines << tableString(kStrJoinDeviceGroup).arg(group, device);
    }

    if (adapters.isEmpty()) {
        lines << tableString(kStrNoAdapterFound);
    } else {
        lines << tableString(kStrAdaptersFound);
        for (const SerialAdapter& adapter : adapters)
            lines << QStringLiteral("  ") + adapter.label();
        lines << tableString(kStrLinkOneOfThem).arg(name);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace dmm
