// SPDX-License-Identifier: MIT
// A recording of 1,000,000 readings (76 MB): how long saving and opening it
// take next to reading the same file whole and copying it, what the buffer
// costs per record, and how long the data list takes to take in all of its
// lines. Prints figures; it is not a test.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

#include "DataPageListForm.h"
#include "RecordFile.h"
#include "ViewMessages.h"

namespace {

constexpr int kRecords = 1'000'000;
constexpr int kRuns = 3;

// The best of a few runs, in milliseconds: the machine is shared.
double bestOf(const std::function<void()>& body)
{
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        body();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char* what, double ms, double reference = 0)
{
    if (reference > 0)
        std::printf("%-40s %9.1f ms  (%.2f x)\n", what, ms, ms / reference);
    else
        std::printf("%-40s %9.1f ms\n", what, ms);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace dmm;
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("million.g52"));
    const QString copyPath = dir.filePath(QStringLiteral("copy.g52"));

    RecordBuffer source;
    for (int i = 0; i < kRecords; ++i) {
        TARecord r;
        r.display = "1.234";
        r.exponent = "-3";
        r.function = 6;
        r.timeStamp = formatTimeStamp(i / 36000 % 24, i / 600 % 60, i / 10 % 60, i % 10 * 100);
        r.value = std::to_string(i % 10000);
        r.prefix = "m";
        r.unit = "V";
        r.fValue = float(i % 10000) * 1e-3f;
        source.append(r);
    }
    std::printf("%d records, %.1f MB file\n", kRecords, kRecords * 76 / 1e6);
    std::printf("buffer memory per record: %.2f bytes\n\n",
                double(source.memoryBytes()) / double(source.size()));

    bool ok = true;
    const double save = bestOf([&] { ok = saveRecordFile(path, source) && ok; });
    const double copy = bestOf([&] {
        QFile::remove(copyPath);
        ok = QFile::copy(path, copyPath) && ok;
    });
    const double copySynced = bestOf([&] {
        QFile::remove(copyPath);
        ok = QFile::copy(path, copyPath) && ok;
        QFile out(copyPath);
        ok = out.open(QIODevice::ReadWrite) && ok;
        out.flush();
        ::fdatasync(out.handle());
    });
    const double readAll = bestOf([&] {
        QFile file(path);
        ok = file.open(QIODevice::ReadOnly) && ok;
        ok = file.readAll().size() == qint64(kRecords) * 76 && ok;
    });
    RecordBuffer loaded;
    const double read = bestOf([&] { ok = readRecordFile(path, loaded) && ok; });
    const double chunked = bestOf([&] {
        RecordBuffer out;
        RecordFileReader reader;
        ok = reader.open(path) && ok;
        while (!reader.atEnd())
            reader.readSome(out, 2000); // one time slice of the recorder's Open
        ok = out.size() == std::size_t(kRecords) && ok;
    });
    ok = loaded.size() == std::size_t(kRecords) && ok;
    for (std::size_t i = 0; ok && i < loaded.size(); i += 997)
        ok = loaded.at(i) == source.at(i);

    report("QFile::copy", copy);
    report("QFile::copy + fdatasync", copySynced);
    report("saveRecordFile", save, copy);
    std::printf("%-40s %9s     (%.2f x the synced copy)\n", "", "", save / copySynced);
    report("QFile::readAll", readAll);
    report("readRecordFile", read, readAll);
    report("RecordFileReader, slices of 2000", chunked, readAll);

    // The data list takes in a whole recording one 1034 per entry (as
    // logging sends them), then one pass of the event loop that lays out and
    // paints the last sheet.
    TDataPageListForm list(nullptr, nullptr, nullptr, &loaded);
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRecords; ++i)
        sendViewMessage(&list, WM_LIST_ADD, i);
    const double adds = clock.nsecsElapsed() / 1e6;
    clock.restart();
    QApplication::processEvents();
    const double pass = clock.nsecsElapsed() / 1e6;
    std::printf("\ndata list: %d lines on %d sheets: %.1f ms for the messages (%.0f ns each), "
                "%.1f ms for the next event-loop pass\n",
                kRecords, list.pageCount(), adds, adds * 1e6 / kRecords, pass);

    std::printf("\n%s\n", ok ? "all operations succeeded" : "SOMETHING FAILED");
    return ok ? 0 : 1;
}
