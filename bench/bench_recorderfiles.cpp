// SPDX-License-Identifier: MIT
// A 1,000,000-record recording through the program's windows: opening it in
// the recorder (until the newest page is shown, the data list filled and the
// extremes set), saving it, showing it in the viewer and exporting all pages
// as text, each against reading and copying the same file in the same run.
// Prints figures; it is not a test. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "DataPageListForm.h"
#include "ExportPages.h"
#include "ExportText.h"
#include "FormViewGraphic.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "RecordFile.h"

using namespace dmm;

namespace {

constexpr int kRecords = 1000000;

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

double millisecondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big.g52"));
    {
        RecordBuffer buffer;
        TARecord r;
        r.display = " 1.234";
        r.exponent = "0";
        r.function = 5;
        r.value = "1.234";
        r.unit = "V";
        for (int i = 0; i < kRecords; ++i) {
            r.timeStamp = formatTimeStamp(i / 36000 % 24, i / 600 % 60, i / 10 % 60, i % 10 * 100);
            r.fValue = float(i % 2000) / 100.0f - 10.0f;
            buffer.append(r);
        }
        saveRecordFile(source, buffer);
    }
    setMessageBoxHandler([](const MessageBoxRequest&) { return int(QMessageBox::Ok); });

    QWidget strip;
    QWidget meter;
    CurrentReading reading;
    TGraphicalForm recorder(&strip, &reading, dir.path());
    TDataPageListForm list(&strip, &meter, &meter, &recorder.recordBuffer());
    recorder.setDataList(&list);
    TFormViewGraphic viewer(&recorder.recordBuffer(), &recorder.state());
    const QString copy = dir.filePath(QStringLiteral("copy.g52"));
    const QString saved = dir.filePath(QStringLiteral("saved.g52"));
    recorder.setFileChoosers([&] { return source; }, [&] { return saved; });

    std::printf("1,000,000 records, %lld bytes\n", QFile(source).size());
    const double readAll = millisecondsOf([&] {
        QFile file(source);
        file.open(QIODevice::ReadOnly);
        volatile qsizetype size = file.readAll().size();
        (void)size;
    });
    const double copied = millisecondsOf([&] { QFile::copy(source, copy); });
    const double residentBefore = residentBytes();
    const double opened = millisecondsOf([&] {
        recorder.sbtnOpenFileClick();
        QApplication::processEvents(); // the data list selects its newest line
    });
    // Everything the open added: records, chart, data list sheets.
    const double residentAfter = residentBytes();
    const double savedMs = millisecondsOf([&] { recorder.sbtnSaveFileClick(); });
    double viewerMs = 0;
    QElapsedTimer viewerTimer;
    QTimer::singleShot(0, &viewer, [&] {
        viewerMs = double(viewerTimer.nsecsElapsed()) / 1e6;
        viewer.accept();
    });
    viewerTimer.start();
    viewer.exec();
    const double exported = millisecondsOf([&] {
        const RecordBuffer& buffer = recorder.recordBuffer();
        const int lastPage = recorder.state().lastPage;
        saveExportText(
            dir.filePath(QStringLiteral("all.csv")),
            exportText(buffer, pageRangeEntries(buffer.size(), lastPage, PageRange{1, lastPage})));
    });

    std::printf("%-40s %9.1f ms\n", "read the file whole (QFile::readAll)", readAll);
    std::printf("%-40s %9.1f ms\n", "copy the file (QFile::copy)", copied);
    std::printf("%-40s %9.1f ms  (%.1f x read)\n", "open in the recorder", opened,
                opened / readAll);
    std::printf("%-40s %9.1f ms  (%.1f x copy)\n", "save from the recorder", savedMs,
                savedMs / copied);
    std::printf("%-40s %9.1f ms\n", "show in the viewer", viewerMs);
    std::printf("%-40s %9.1f ms\n", "export all pages as text", exported);
    std::printf("records %zu, data list sheets %d, lines on the last %d, max index %d\n",
                recorder.recordBuffer().size(), list.pageCount(),
                list.sheetModel(list.pageCount() - 1)->rowCount(), recorder.state().maxIndex);
    std::printf("memory: %.1f bytes per record in the buffer, %.1f bytes per record of the "
                "whole process (buffer, chart and data list)\n",
                double(recorder.recordBuffer().memoryBytes()) / kRecords,
                (residentAfter - residentBefore) / kRecords);
    setMessageBoxHandler({});
    return 0;
}
