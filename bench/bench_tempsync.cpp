// SPDX-License-Identifier: MIT
// What keeping the temporary file on the disk costs while the recorder logs:
// CPU time per logged reading and the longest stall of the event loop (a
// 1 ms probe timer), for three ways of writing the run's file:
//   before   one unbuffered write per record, synced only at Stop
//   now      the temporary files: every write checked, fdatasync within a
//            second on a thread of their own
//   inline   fdatasync after every record on the event loop's thread (for
//            comparison: what the window would wait for)
// and finally the recorder window itself logging through its store.
// Usage: dmm-bench-tempsync [folder] [readings per second] [seconds per mode]
// (defaults: the current folder, 100, 5; QT_QPA_PLATFORM=offscreen without a display)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "RecorderStore.h"

using namespace dmm;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage); // every thread of the process
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

CurrentReading sampleReading(int i)
{
    CurrentReading r;
    const std::string digits = std::to_string(i % 1000) + ".5";
    const std::string exponent = "0";
    r.sDigits = digits;
    r.sExponent = exponent;
    r.iFunction = 6;
    r.szValue = digits;
    r.szUnit = "V";
    return r;
}

constexpr int kBackToBack = 2000;

struct Figures
{
    double cpuSeconds = 0;
    qint64 worstStallMs = 0;
    int readings = 0;
};

// Runs the event loop for `seconds` with `logOne` called `rate` times a second
// and a 1 ms probe timer; the worst stall is the longest gap between probes.
Figures measure(int rate, int seconds, const std::function<void(int)>& logOne)
{
    Figures f;
    QElapsedTimer clock;
    qint64 lastProbe = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        f.worstStallMs = std::max(f.worstStallMs, now - lastProbe);
        lastProbe = now;
    });
    QTimer logger;
    logger.setTimerType(Qt::PreciseTimer);
    logger.setInterval(1000 / rate);
    if (logOne)
        QObject::connect(&logger, &QTimer::timeout, [&] { logOne(f.readings++); });
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const double cpuBefore = cpuSeconds();
    clock.start();
    probe.start();
    logger.start();
    loop.exec();
    f.cpuSeconds = cpuSeconds() - cpuBefore;
    return f;
}

// CPU time per reading beyond the idle loop's (the probe's own cost), and
// the phase's whole CPU time for judging the noise.
void print(const char* mode, const Figures& f, const Figures& idle)
{
    const double perReading =
        f.readings > 0 ? (f.cpuSeconds - idle.cpuSeconds) / f.readings * 1e6 : 0.0;
    std::printf("%-28s %6d readings  CPU %6.0f ms (%7.1f us/reading over idle)  worst stall "
                "%3lld ms\n",
                mode, f.readings, f.cpuSeconds * 1e3, perReading,
                static_cast<long long>(f.worstStallMs));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const int rate = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    QTemporaryDir dir(QDir(folder).filePath(QStringLiteral("bench-tempsync-XXXXXX")));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(folder));
        return 1;
    }
    setMessageBoxHandler([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "box: %s %s\n", qPrintable(r.caption), qPrintable(r.text));
        return int(QMessageBox::Ok);
    });
    std::printf("%d readings/s for %d s per mode, files in %s\n", rate, seconds,
                qPrintable(dir.path()));

    const Figures idle = measure(rate, seconds, {});

    // The store logs without a temporary file of its own; the record goes to
    // a plain file as the temporary file was written before, one unbuffered
    // write each, optionally followed by an fdatasync on this thread.
    const auto plainFile = [&](const char* name, bool syncEach, auto&& runner) {
        RecorderStore store(QString{});
        QFile file(dir.filePath(QString::fromLatin1(name)));
        file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        QElapsedTimer syncClock;
        qint64 worstSyncUs = 0;
        const Figures f = runner([&](int i) {
            store.appendReading(sampleReading(i), timeStampNow());
            const auto bytes = encodeARecord(store.buffer().at(store.buffer().size() - 1));
            file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
            if (syncEach) {
                syncClock.start();
                ::fdatasync(file.handle());
                worstSyncUs = std::max(worstSyncUs, syncClock.nsecsElapsed() / 1000);
            }
        });
        ::fsync(file.handle()); // at Stop
        return std::pair{f, worstSyncUs};
    };
    const auto tempFiles = [&](auto&& runner) {
        RecorderStore store(dir.path());
        store.tempFiles().createNext();
        const Figures f =
            runner([&](int i) { store.appendReading(sampleReading(i), timeStampNow()); });
        store.tempFiles().close();
        return f;
    };
    // CPU time alone, without the event loop and its probe: readings back to
    // back, the delayed sync's thread included (it syncs each record as it comes).
    const auto backToBack = [&](const std::function<void(int)>& logOne) {
        Figures f;
        const double before = cpuSeconds();
        for (f.readings = 0; f.readings < kBackToBack; ++f.readings)
            logOne(f.readings);
        f.cpuSeconds = cpuSeconds() - before;
        return f;
    };
    const auto paced = [&](const std::function<void(int)>& logOne) {
        return measure(rate, seconds, logOne);
    };
    std::printf("CPU per reading, %d readings back to back:\n", kBackToBack);
    print("before: write, sync at Stop", plainFile("before1.TMP", false, backToBack).first, {});
    print("now: checked, synced <= 1 s", tempFiles(backToBack), {});
    print("inline fdatasync per record", plainFile("inline1.TMP", true, backToBack).first, {});

    std::printf("Paced at %d readings/s with a 1 ms probe timer:\n", rate);
    print("probe only (baseline)", idle, Figures{});
    print("before: write, sync at Stop", plainFile("before.TMP", false, paced).first, idle);
    print("now: checked, synced <= 1 s", tempFiles(paced), idle);
    {
        const auto [f, worstSyncUs] = plainFile("inline.TMP", true, paced);
        print("inline fdatasync per record", f, idle);
        std::printf("%-28s longest fdatasync %lld us\n", "", static_cast<long long>(worstSyncUs));
    }
    {
        QWidget strip;
        strip.setGeometry(0, 0, 800, 60);
        CurrentReading reading = sampleReading(1);
        TGraphicalForm form(&strip, &reading, dir.path());
        form.show();
        bDataValid = 1;
        form.sbtnRecordStart->setChecked(true);
        form.sbtnRecordStartClick();
        form.TimerLogger.stop(); // the bench's own timer logs instead
        const Figures f = measure(rate, seconds, [&](int i) {
            reading = sampleReading(i);
            form.store().appendReading(reading, timeStampNow());
        });
        form.sbtnRecordStop->setChecked(true);
        form.sbtnRecordStopClick();
        print("recorder window, now", f, idle);
    }
    return 0;
}
