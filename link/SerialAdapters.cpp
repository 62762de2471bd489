// SPDX-License-Identifier: MIT
#include "SerialAdapters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include "FileChecks.h"
#include "SymbolicLink.h"

namespace dmm {

namespace {

AdapterSearchRoots& roots()
{
    static AdapterSearchRoots instance;
    return instance;
}

} // namespace

QString SerialAdapter::label() const
{
    if (stableName.isEmpty())
        return device;
    return QFileInfo(stableName).fileName() + QStringLiteral(" (") + device + QLatin1Char(')');
}

QList<SerialAdapter> findSerialAdapters(const AdapterSearchRoots& searchRoots)
{
    QList<SerialAdapter> adapters;
    const QDir byId(searchRoots.byIdDirectory);
    const QStringList names =
        byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString link = byId.filePath(name);
        const QString device = QFileInfo(link).canonicalFilePath();
        if (!device.isEmpty())
            adapters.append({device, link});
    }
    const QDir devices(searchRoots.deviceDirectory);
    const QStringList nodes =
        devices.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                          QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : nodes) {
        const QString device = QFileInfo(devices.filePath(name)).canonicalFilePath();
        if (device.isEmpty())
            continue;
        const bool named = std::any_of(adapters.cbegin(), adapters.cend(),
                                       [&](const SerialAdapter& a) { return a.device == device; });
        if (!named)
            adapters.append({device, {}});
    }
    return adapters;
}

const AdapterSearchRoots& adapterSearchRoots()
{
    return roots();
}

void setAdapterSearchRoots(const AdapterSearchRoots& searchRoots)
{
    roots() = searchRoots;
}

PortEntry portEntry(int port, const QString& startupDirectory)
{
    PortEntry entry;
    if (port < 1)
        return entry;
    entry.path = QDir(startupDirectory).filePath(QStringLiteral("COM%1").arg(port));
    const QFileInfo info(entry.path);
    if (info.isSymLink()) {
        entry.target = info.symLinkTarget();
        // symLinkTarget() makes the target absolute; keep what the link says
        // when it can be read, so the user sees the name they linked.
        const QByteArray raw = QFile::encodeName(entry.path);
        char buffer[4096];
        const ssize_t n = ::readlink(raw.constData(), buffer, sizeof buffer - 1);
        if (n > 0)
            entry.target = QFile::decodeName(QByteArray(buffer, static_cast<int>(n)));
        entry.kind = info.exists() ? PortEntry::Link : PortEntry::DanglingLink;
    } else if (info.exists()) {
        entry.kind = PortEntry::OtherFile;
    }
    return entry;
}

bool sameDevice(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

std::optional<QString> linkPort(int port, const QString& startupDirectory, const QString& target,
                                bool replace)
{
    const PortEntry entry = portEntry(port, startupDirectory);
    if (entry.path.isEmpty())
        return systemReason(EINVAL);
    const QByteArray path = QFile::encodeName(entry.path);
    const QByteArray to = QFile::encodeName(target);
    if (entry.kind == PortEntry::Missing) {
        if (::symlink(to.constData(), path.constData()) != 0)
            return systemReason(errno);
        return std::nullopt;
    }
    if (!replace)
        return systemReason(EEXIST);
    if (entry.kind == PortEntry::OtherFile && QFileInfo(entry.path).isDir())
        return systemReason(EISDIR);
    // The port never lacks an entry, and a failure leaves the old one as it was.
    return replaceSymbolicLink(entry.path, target);
}

} // namespace dmm
