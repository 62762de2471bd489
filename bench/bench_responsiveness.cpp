// SPDX-License-Identifier: MIT
// How the user interface fares while linked to a silent meter: the longest
// stall of the event loop and the CPU time used. Runs the whole program
// in-process against a pseudo-terminal that never sends anything.
// Usage: dmm-bench-responsiveness [seconds] [noprobe]   (default 15 s; with
// "noprobe" only the CPU time is measured, without the 1 ms probe timer's own
// cost; run with QT_QPA_PLATFORM=offscreen when there is no display)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "AppWindows.h"
#include "Fonts.h"
#include "MainWindow.h"
#include "MessageBox.h"

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 15;
    const bool withProbe = !(argc > 2 && QByteArray(argv[2]) == "noprobe");
    dmm::installFontSubstitutions();
    dmm::setMessageBoxHandler([](const dmm::MessageBoxRequest& r) {
        std::fprintf(stderr, "box: %s\n", qPrintable(r.caption));
        return int(QMessageBox::Ok);
    });

    // A silent line: a pseudo-terminal nobody writes to, linked as COM1.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    QTemporaryDir dir;
    QFile::link(QString::fromLocal8Bit(ptsname(master)), dir.filePath(QStringLiteral("COM1")));
    QFile settings(dir.filePath(QStringLiteral("MLQDL.ini")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("iPort=1\nfHiLimit=3\nfLowLimit=1\n");
    settings.close();
    QDir::setCurrent(dir.path());

    dmm::TFormMain mainWindow;
    mainWindow.show();
    dmm::AppWindows windows(&mainWindow);
    mainWindow.setWindows(&windows);
    mainWindow.sbtnLink->click();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    const double cpuBefore = cpuSeconds();
    clock.start();
    if (withProbe)
        probe.start(1);
    QTimer::singleShot(seconds * 1000, &app, [&] {
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("linked to a silent meter for %d s\n", seconds);
        if (withProbe)
            std::printf("longest event-loop stall: %.2f ms (1 ms probe timer)\n", longest / 1e6);
        std::printf("CPU time: %.3f s (%.2f %% of one core%s)\n", cpu, 100.0 * cpu / seconds,
                    withProbe ? ", probe timer included" : "");
        mainWindow.close();
        app.quit();
    });
    const int result = app.exec();
    ::close(master);
    return result;
}
