// SPDX-License-Identifier: MIT
// Renders a picture of the program's artwork as the PNG icons of the desktop's
// icon theme, through the same renderer the windows use:
//   dmm-render-icons NAME OUTDIR SIZE...
// writes OUTDIR/SIZExSIZE/apps/dmmlogger.png for each size.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

#include "Artwork.h"

int main(int argc, char* argv[])
{
    // Runs during the build, where there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nor, in a build container, a runtime folder, which Qt warns about.
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: dmm-render-icons NAME OUTDIR SIZE...\n");
        return 2;
    }
    const QString& name = args.at(1);
    const QDir outDir(args.at(2));
    // The windows fall back to a grey field for a missing picture; an icon must not.
    if (!QFile::exists(QStringLiteral(":/art/%1.svg").arg(name))) {
        std::fprintf(stderr, "dmm-render-icons: no artwork named %s\n", qPrintable(name));
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool ok = false;
        const int side = args.at(i).toInt(&ok);
        if (!ok || side < 1 || side > 1024) {
            std::fprintf(stderr, "dmm-render-icons: bad size %s\n", qPrintable(args.at(i)));
            return 2;
        }
        const QString sub = QStringLiteral("%1x%1/apps").arg(side);
        const QString file = outDir.filePath(sub + QStringLiteral("/dmmlogger.png"));
        if (!outDir.mkpath(sub) || !dmm::artworkPixmap(name, QSize(side, side)).save(file, "PNG")) {
            std::fprintf(stderr, "dmm-render-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
