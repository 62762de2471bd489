// SPDX-License-Identifier: MIT
#include "AboutText.h"

#include <QRegularExpression>
#include <QSysInfo>

#include "StringTable.h"

namespace dmm {

QString systemLine(const QString& kernelType, const QString& kernelVersion)
{
    QString family;
    if (kernelType == QLatin1String("linux"))
        family = QStringLiteral("Linux");
    else if (kernelType == QLatin1String("winnt"))
        family = QStringLiteral("Windows NT");
    else if (kernelType == QLatin1String("darwin"))
        family = QStringLiteral("macOS");
    else
        family = QStringLiteral("Unknown");
    // Major and minor number from versions such as "6.1.0-18-amd64" or "10.0.19045".
    const auto match = QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)")).match(kernelVersion);
    const QString version = match.hasMatch()
                                ? match.captured(1) + QLatin1Char('.') + match.captured(2)
                                : QStringLiteral("0.0");
    return QStringLiteral("System: ") + family + QLatin1Char(' ') + version;
}

QStringList aboutLines()
{
    return {tableString(kStrModel),
            tableString(1),
            tableString(2),
            tableString(3),
            tableString(4),
            tableString(5),
            systemLine(QSysInfo::kernelType(), QSysInfo::kernelVersion())};
}

} // namespace dmm
