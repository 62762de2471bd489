// SPDX-License-Identifier: MIT
// The data list filled by a file load: one notice naming the newest of N
// entries, on a shown window, then the reset. Prints the time, the time per
// sheet (it should not grow with the number of sheets) and the memory the
// lines take; min of three rounds. Not a test.
// Usage: dmm-bench-datalist [entries...] (default 1000000 10000000). Run with
// QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DataPageListForm.h"
#include "RecordBuffer.h"
#include "ViewMessages.h"

using namespace dmm;

namespace {

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atol(argv[i]));
    if (counts.empty())
        counts = {1000000, 10000000};

    QWidget window;
    for (const long count : counts) {
        RecordBuffer buffer;
        TARecord record;
        record.timeStamp = " 14:05:09.3  ";
        record.value = "1.234";
        record.unit = "V";
        for (long i = 0; i < count; ++i)
            buffer.append(record);
        TDataPageListForm list(&window, &window, &window, &buffer);
        QApplication::processEvents();
        double add = 1e9, settled = 1e9, reset = 1e9, memory = 0;
        for (int round = 0; round < 3; ++round) {
            const double before = residentMb();
            QElapsedTimer timer;
            timer.start();
            sendViewMessage(&list, WM_LIST_ADD, count - 1);
            add = std::min(add, timer.nsecsElapsed() / 1e6);
            QApplication::processEvents(); // the newest line is selected
            settled = std::min(settled, timer.nsecsElapsed() / 1e6);
            memory = std::max(memory, residentMb() - before);
            timer.start();
            sendViewMessage(&list, WM_LIST_RESET);
            reset = std::min(reset, timer.nsecsElapsed() / 1e6);
            for (int pass = 0; pass < 100; ++pass)
                QApplication::processEvents(); // the old sheets go
        }
        const long sheets = count / DataSheetModel::kLinesPerSheet + 1;
        std::printf("%ld entries, %ld sheets: add %.1f ms (%.3f ms per sheet), with the "
                    "selection %.1f ms, %+.1f MB; reset %.1f ms\n",
                    count, sheets, add, add / double(sheets), settled, memory, reset);
    }
    return 0;
}
