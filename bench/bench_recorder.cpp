// SPDX-License-Identifier: MIT
// The cost of logging one reading in the recorder window (store, temporary
// file write, chart point, readout, status bar, repaint) with 0, 100,000 and
// 1,000,000 readings already in the buffer. It must not grow with the buffer.
// Prints figures; it is not a test. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QTemporaryDir>
#include <QToolButton>

#include <chrono>
#include <cstdio>

#include "CurrentReading.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "RecordBuffer.h"
#include "RecorderStore.h"

using namespace dmm;

namespace {

void fillBuffer(TGraphicalForm& form, int records)
{
    TARecord record;
    record.display = " 1.234";
    record.exponent = "0";
    record.function = 5;
    record.timeStamp = " 12:00:00.0  ";
    record.value = "1.234";
    record.unit = "V";
    if (records == 0)
        return;
    RecordTally tally;
    for (int i = 0; i < records; ++i) {
        record.fValue = static_cast<float>(i % 1000) / 100.0f;
        form.store().bufferForLoading().append(record);
        tally.add(record.fValue);
    }
    form.store().finishLoad(tally);
    form.RedrawShownPage();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget strip;
    CurrentReading reading;
    reading.sDigits = " 1.234";
    reading.sExponent = "0";
    reading.iFunction = 5;
    reading.szValue = "1.234";
    reading.szUnit = "V";
    bDataValid = 1;

    std::printf("%-22s %12s %14s %14s\n", "records before", "appends", "us per append",
                "bytes/record");
    for (const int before : {0, 100000, 1000000}) {
        QTemporaryDir dir;
        TGraphicalForm form(&strip, &reading, dir.path());
        fillBuffer(form, before);
        form.sbtnRecordStart->click(); // a run: every append is written to the temporary file
        QApplication::processEvents();
        constexpr int kAppends = 2000;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kAppends; ++i) {
            form.store().appendReading(reading, timeStampNow());
            QApplication::processEvents(); // the chart repaints once per reading
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const RecordBuffer& buffer = form.recordBuffer();
        std::printf("%-22d %12d %14.1f %14.1f\n", before, kAppends, seconds * 1e6 / kAppends,
                    double(buffer.memoryBytes()) / double(buffer.size()));
        form.sbtnRecordStop->click();
    }
    return 0;
}
