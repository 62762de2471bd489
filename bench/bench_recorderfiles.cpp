// SPDX-License-Identifier: MIT
// A long recording through the program's windows, the whole application as it
// starts (the main window and every window it makes, wired as in the program):
// opening it in the recorder (until the newest page is shown, the data list
// filled and the extremes set), saving it, exporting all pages as text,
// exporting the table (csv), "Fit all data" (the recorder's own command, through
// the handler the application wires, until the viewer has shown the whole
// buffer and is closed) and clearing it, against reading the file with cat
// and copying it with cp and sync in the same run; the longest stall of the
// event loop during each (goal: under 50 ms), and the process's memory.
// Prints figures (min and median of three rounds); it is not a test.
// Usage: dmm-bench-recorderfiles [records] (default 1000000; the files go to
// $TMPDIR, default /tmp, and are deleted afterwards). Run with
// QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "AppWindows.h"
#include "AtomicFile.h"
#include "BackgroundWork.h"
#include "DataPageListForm.h"
#include "ExportPages.h"
#include "ExportText.h"
#include "Fonts.h"
#include "FormViewGraphic.h"
#include "GraphicalForm.h"
#include "MainWindow.h"
#include "MessageBox.h"
#include "MsgForm.h"
#include "RecordFile.h"

using namespace dmm;

namespace {

constexpr int kRounds = 3;

// The process's resident memory in bytes, from /proc.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
    return 0;
}

// The longest time the event loop went without running a 1 ms timer while
// the work ran (work that never lets events run counts whole).
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    // While `inFirstPhase` holds, gaps also count towards firstPhaseStall().
    void setFirstPhase(std::function<bool()> inFirstPhase)
    {
        m_inFirstPhase = std::move(inFirstPhase);
    }
    double firstPhaseStall() const { return double(m_longestFirst) / 1e6; }
    // Of the gaps measure() saw, the most processor time the UI thread itself
    // used within one, in ms: the part of a stall that is this program's work
    // (the rest of a gap, on a loaded machine, is other programs holding the
    // cores while the UI thread waited to run).
    double longestWork() const { return double(m_longestWork) / 1e6; }
    double measure(const std::function<void()>& work)
    {
        m_longest = 0;
        m_longestFirst = 0;
        m_longestWork = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNs();
        m_timer.start();
        work();
        tick();
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        m_longest = std::max(m_longest, now - m_last);
        m_longestWork = std::max(m_longestWork, cpu - m_lastCpu);
        m_lastCpu = cpu;
        if (m_inFirstPhase && m_inFirstPhase())
            m_longestFirst = std::max(m_longestFirst, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_longestFirst = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestWork = 0;
    std::function<bool()> m_inFirstPhase;

    static qint64 threadCpuNs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }
};

// CPU time of the calling thread: on a shared machine the wall-clock stall
// also counts the time other programs held the cores.
double threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Figure
{
    std::vector<double> ms;
    std::vector<double> stall;
    std::vector<double> uiCpu;
    std::vector<double> work;
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double longestStall() const
    {
        return stall.empty() ? 0 : *std::max_element(stall.begin(), stall.end());
    }
    double longestWork() const
    {
        return work.empty() ? 0 : *std::max_element(work.begin(), work.end());
    }
    double mostUiCpu() const
    {
        return uiCpu.empty() ? 0 : *std::max_element(uiCpu.begin(), uiCpu.end());
    }
};

Figure& timeInto(Figure& figure, StallProbe& probe, const std::function<void()>& work)
{
    QElapsedTimer timer;
    double stall = 0;
    const double cpuBefore = threadCpuMs();
    timer.start();
    stall = probe.measure(work);
    figure.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    figure.uiCpu.push_back(threadCpuMs() - cpuBefore);
    figure.stall.push_back(stall);
    figure.work.push_back(probe.longestWork());
    return figure;
}

void shell(const QString& command)
{
    if (std::system(command.toLocal8Bit().constData()) != 0)
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
}

void print(const char* label, const Figure& f, const Figure* floor = nullptr, bool withStall = true)
{
    std::printf("%-34s min %8.1f ms  median %8.1f ms", label, f.min(), f.median());
    if (floor)
        std::printf("  (%.1f x)", f.min() / floor->min());
    if (withStall)
        std::printf("  longest stall %.1f ms (UI thread's own work in a gap at most %.1f ms), "
                    "UI thread CPU %.1f ms",
                    f.longestStall(), f.longestWork(), f.mostUiCpu());
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/dmm-bench-XXXXXX"));
    const QString source = dir.filePath(QStringLiteral("big.g52"));
    {
        RecordBuffer buffer;
        TARecord r;
        r.display = " 1.234";
        r.exponent = "0";
        r.function = 5;
        r.value = "1.234";
        r.unit = "V";
        for (int i = 0; i < records; ++i) {
            r.timeStamp = formatTimeStamp(i / 36000 % 24, i / 600 % 60, i / 10 % 60, i % 10 * 100);
            r.fValue = float(i % 2000) / 100.0f - 10.0f;
            buffer.append(r);
        }
        saveRecordFile(source, buffer);
    }
    setMessageBoxHandler([](const MessageBoxRequest&) { return int(QMessageBox::Ok); });

    // The application's windows, started in the folder as the program starts
    // in its own (its settings and the recorder's temporary files there).
    QDir::setCurrent(dir.path());
    installFontSubstitutions();
    TFormMain mainWindow;
    mainWindow.show();
    AppWindows windows(&mainWindow);
    mainWindow.setWindows(&windows);
    TGraphicalForm& recorder = *windows.GraphicalForm;
    TMsgForm& progress = *windows.MsgForm;
    const QString copy = dir.filePath(QStringLiteral("copy.g52"));
    const QString saved = dir.filePath(QStringLiteral("saved.g52"));
    const QString csv = dir.filePath(QStringLiteral("all.csv"));
    const QString table = dir.filePath(QStringLiteral("table.csv"));
    recorder.setFileChoosers([&] { return source; }, [&] { return saved; });
    recorder.setTableChooser([&] { return TableTarget{table, {}}; });
    QApplication::processEvents();

    std::printf("%d records, %lld bytes\n", records, QFile(source).size());
    StallProbe probe;
    Figure cat, copySync, open, save, exportText, exportTable, fitAll, clear;
    double firstPhaseStall = 0;
    double residentStart = 0, residentOpen = 0, residentClear = 0;
    for (int round = 0; round < kRounds; ++round) {
        timeInto(cat, probe, [&] { shell(QStringLiteral("cat '%1' > /dev/null").arg(source)); });
        timeInto(copySync, probe,
                 [&] { shell(QStringLiteral("cp '%1' '%2' && sync '%2'").arg(source, copy)); });
        QFile::remove(copy);
        if (round == 0)
            residentStart = residentBytes();
        // The first phase reads the file while events run; the second counts
        // and fills the data list without letting them run.
        probe.setFirstPhase([&] {
            return progress.isVisible() && progress.MsgPanel->text().startsWith("[W8005]");
        });
        timeInto(open, probe, [&] {
            recorder.sbtnOpenFileClick();
            QApplication::processEvents(); // the data list selects its newest line
        });
        probe.setFirstPhase({});
        firstPhaseStall = std::max(firstPhaseStall, probe.firstPhaseStall());
        residentOpen = std::max(residentOpen, residentBytes());
        timeInto(save, probe, [&] { recorder.sbtnSaveFileClick(); });
        // What the recorder's All Pages text export runs.
        timeInto(exportText, probe, [&] {
            const RecordBuffer& buffer = recorder.recordBuffer();
            const int lastPage = recorder.state().lastPage;
            const EntryRange all =
                pageRangeEntries(buffer.size(), lastPage, PageRange{1, lastPage});
            runInBackground(
                [&, records = buffer.snapshot()] {
                    writeFileAtomically(csv, exportTextBlocks(records, all));
                },
                [] {});
        });
        QFile::remove(csv);
        timeInto(exportTable, probe, [&] { recorder.miExportTableClick(); });
        QFile::remove(table);
        // The viewer is modal: it is closed once it has shown the whole
        // buffer and the events it queued on the way have run.
        timeInto(fitAll, probe, [&] {
            QTimer closer;
            closer.setInterval(20);
            QObject::connect(&closer, &QTimer::timeout, [&] {
                if (windows.FormViewGraphic->isVisible()) {
                    QApplication::processEvents();
                    windows.FormViewGraphic->reject();
                }
            });
            closer.start();
            recorder.sbtnFitViewClick();
        });
        timeInto(clear, probe, [&] {
            recorder.sbtnClearClick();
            QApplication::processEvents();
        });
        // The chunks of a long recording go back on a thread of their own.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 2000 && residentBytes() > residentStart + 30e6)
            QThread::msleep(20);
        residentClear = residentBytes();
    }

    print("cat FILE > /dev/null", cat, nullptr, false);
    print("cp FILE COPY && sync COPY", copySync, nullptr, false);
    print("open in the recorder", open, &cat);
    std::printf("%-34s longest stall %.1f ms\n", "  its first phase (reading)", firstPhaseStall);
    print("save from the recorder", save, &copySync);
    print("export all pages as text", exportText, &cat);
    print("export table (csv)", exportTable, &cat);
    print("fit all data (viewer shown)", fitAll);
    print("clear", clear);
    std::printf("memory: start %.1f MB, after open %.1f MB (%.1f bytes per record of the whole "
                "process, %.1f added per record), after clear %.1f MB (%+.1f MB from start)\n",
                residentStart / 1e6, residentOpen / 1e6, residentOpen / records,
                (residentOpen - residentStart) / records, residentClear / 1e6,
                (residentClear - residentStart) / 1e6);
    setMessageBoxHandler({});
    return 0;
}
