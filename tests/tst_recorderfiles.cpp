// SPDX-License-Identifier: MIT
// The recorder's files through its window: open with progress and Abort,
// save, the data list filled by a load, and the close question.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <cmath>
#include <csignal>
#include <sys/resource.h>

#include "AnalogMeterForm.h"
#include "DataPageListForm.h"
#include "DigitalMeterForm.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "MsgForm.h"
#include "PEGraph.h"
#include "RecordFile.h"
#include "ShellFixture.h"

#include "MeterReadings.h"

using namespace dmm;

namespace {

TARecord sample(int i, float value)
{
    TARecord r;
    r.display = " 1.234";
    r.exponent = "-3";
    r.function = i % 2 ? 514 : 128;
    r.timeStamp = formatTimeStamp(9, 5, i % 60, 400);
    r.value = "1.234";
    r.prefix = "m";
    r.unit = i % 2 ? "A" : "W";
    r.fValue = value;
    r.subDisplay = i == 1 ? "60" : "";
    return r;
}

QString writeRecords(const QString& path, int count, float nanEvery = 0)
{
    RecordBuffer buffer;
    for (int i = 0; i < count; ++i)
        buffer.append(sample(i, nanEvery > 0 && i % int(nanEvery) == 1
                                    ? std::numeric_limits<float>::quiet_NaN()
                                    : float(i % 50) - 20.0f));
    return saveRecordFile(path, buffer) ? path : QString();
}

// The recorder, its data list and its progress window, with the file
// dialogs and the message boxes answered by the test.
struct Files
{
    QTemporaryDir dir;
    QWidget strip;
    QWidget meter;
    CurrentReading reading;
    QStringList boxes;
    QList<int> answers; // given in turn; Ok when used up
    QString openPath;
    QString savePath;
    int openDialogs = 0;
    std::unique_ptr<TGraphicalForm> form;
    std::unique_ptr<TDataPageListForm> list;
    std::unique_ptr<TMsgForm> progress;

    Files()
    {
        strip.setGeometry(0, 0, 800, 60);
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request.caption;
            return answers.isEmpty() ? int(QMessageBox::Ok) : answers.takeFirst();
        });
        bBusy = false;
        bDataValid = 1;
        reading = acVoltsReading(" 2.000");
        form = std::make_unique<TGraphicalForm>(&strip, &reading, dir.path());
        list = std::make_unique<TDataPageListForm>(&strip, &meter, &meter, &form->recordBuffer());
        progress = std::make_unique<TMsgForm>();
        form->setDataList(list.get());
        form->setProgressWindow(progress.get());
        form->setFileChoosers(
            [this] {
                ++openDialogs;
                return openPath;
            },
            [this] { return savePath; });
    }
    ~Files()
    {
        form.reset();
        setMessageBoxHandler({});
        bDataValid = 0;
    }
    void log(int count)
    {
        for (int i = 0; i < count; ++i)
            form->store().appendReading(reading, timeStampNow());
    }
    int listLines() const
    {
        int lines = 0;
        for (int i = 0; i < list->pageCount(); ++i)
            lines += list->sheetModel(i)->rowCount();
        return lines;
    }
};

} // namespace

class TestRecorderFiles : public QObject
{
    Q_OBJECT
private slots:
    void saveAndOpenRoundTrip();
    void openCounts_data();
    void openCounts();
    void openAskedToClearAndCancelled();
    void openFailureReports();
    void nonFiniteValuesKeepTheScale();
    void failedSaveKeepsTheOldFileAndTheUnsavedState();
    void abortedOpenDropsWhatWasRead();
    void closeQuestion_data();
    void closeQuestion();
    void tileWithEveryWindow();
};

void TestRecorderFiles::saveAndOpenRoundTrip()
{
    Files f;
    f.log(3);
    const RecordBuffer& buffer = f.form->recordBuffer();
    QList<TARecord> before;
    for (std::size_t i = 0; i < buffer.size(); ++i)
        before << buffer.at(i);
    f.savePath = f.dir.filePath("run.g52");
    QVERIFY(f.form->sbtnSaveFileClick());
    QCOMPARE(QFileInfo(f.savePath).size(), 228);
    QVERIFY(!f.form->state().unsavedData);
    QVERIFY(f.boxes.isEmpty());

    f.openPath = f.savePath;
    f.form->sbtnOpenFileClick(); // saved: cleared without a question
    QVERIFY(f.boxes.isEmpty());
    QCOMPARE(buffer.size(), 3u);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(buffer.at(std::size_t(i)), before[i]);
    QCOMPARE(f.form->state().readingCount, 3);
    QVERIFY(f.form->state().unsavedData && !f.form->state().bufferEmpty);
    QVERIFY(!bBusy);
    QCOMPARE(f.listLines(), 3);
    QVERIFY(!f.progress->isVisible());
    QCOMPARE(f.form->chart()->GetCursorPoint(), 199);
    QCOMPARE(float(f.form->chart()->GetYData(0, 199)), 2.0f);
}

void TestRecorderFiles::openCounts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("extraBytes");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("lastPage");
    // Values run -20 to 29 and again; ties move the extremes to the newest.
    QTest::addColumn<int>("maxIndex");
    QTest::addColumn<int>("minIndex");
    QTest::newRow("152 bytes") << "two.g52" << 2 << 0 << 2 << 1 << 1 << 0;
    QTest::newRow("160 bytes") << "two.g52" << 2 << 8 << 2 << 1 << 1 << 0;
    QTest::newRow("empty") << "none.g52" << 0 << 0 << 0 << 1 << 0 << 0;
    QTest::newRow("200 records") << "page.g52" << 200 << 0 << 200 << 2 << 199 << 150;
    QTest::newRow("temporary file") << "~KOPLX7.TMP" << 201 << 0 << 201 << 2 << 199 << 200;
    QTest::newRow("garbage tail") << "junk.g52" << 5 << 75 << 5 << 1 << 4 << 0;
    QTest::newRow("a long file, its memory made ahead")
        << "long.g52" << 50000 << 0 << 50000 << 251 << 49999 << 49950;
}

void TestRecorderFiles::openCounts()
{
    QFETCH(QString, name);
    QFETCH(int, records);
    QFETCH(int, extraBytes);
    QFETCH(int, readings);
    QFETCH(int, lastPage);
    QFETCH(int, maxIndex);
    QFETCH(int, minIndex);
    Files f;
    f.openPath = writeRecords(f.dir.filePath(name), records);
    {
        QFile file(f.openPath);
        QVERIFY(file.open(QIODevice::Append));
        file.write(QByteArray(extraBytes, '\x7f'));
    }
    f.form->sbtnOpenFileClick();
    QCOMPARE(f.form->state().readingCount, readings);
    QCOMPARE(int(f.form->recordBuffer().size()), readings);
    QCOMPARE(f.form->state().lastPage, lastPage);
    QCOMPARE(f.form->state().shownPage, lastPage);
    QCOMPARE(f.form->state().maxIndex, maxIndex);
    QCOMPARE(f.form->state().minIndex, minIndex);
    QCOMPARE(f.form->StatusPanels[2]->text(), QStringLiteral("Page : %1 of %1").arg(lastPage));
    QCOMPARE(f.listLines(), readings);
    for (int i = 0; i < readings; ++i)
        QCOMPARE(f.form->recordBuffer().at(std::size_t(i)).fValue, float(i % 50) - 20.0f);
    // Even an empty file counts as unsaved data: Save, Clear, Print and Export are offered.
    QVERIFY(!f.form->state().bufferEmpty && f.form->state().unsavedData);
    QVERIFY(f.form->sbtnSaveFile->isEnabled() && f.form->sbtnClear->isEnabled() &&
            f.form->sbtnExport->isEnabled() && f.form->sbtnPrintGraphic->isEnabled());
    if (readings == 200) {
        f.form->sbtnFirstPageClick(); // page 1 is all empty slots
        for (int k = 0; k < 200; ++k)
            QCOMPARE(f.form->chart()->GetYData(0, k), PEGraph::kNullDataValue);
    }
}

void TestRecorderFiles::openAskedToClearAndCancelled()
{
    Files f;
    f.log(2);
    f.answers = {QMessageBox::Cancel};
    f.openPath = writeRecords(f.dir.filePath("a.g52"), 4);
    f.form->sbtnOpenFileClick();
    QCOMPARE(f.boxes, QStringList{"Warning[W8002]"});
    QCOMPARE(f.openDialogs, 0); // no file dialog after Cancel
    QCOMPARE(f.form->state().readingCount, 2);
}

void TestRecorderFiles::openFailureReports()
{
    Files f;
    f.openPath = f.dir.filePath("missing.g52");
    f.form->sbtnOpenFileClick();
    QCOMPARE(f.boxes, QStringList{"Error[E9004]"});
    QVERIFY(f.form->state().bufferEmpty);
    QVERIFY(!bBusy);
    QVERIFY(f.form->sbtnOpenFile->isEnabled());
}

void TestRecorderFiles::nonFiniteValuesKeepTheScale()
{
    Files f;
    f.openPath = writeRecords(f.dir.filePath("nan.g52"), 450, 3);
    f.form->sbtnOpenFileClick();
    QCOMPARE(f.form->state().readingCount, 450);
    QVERIFY(std::isfinite(f.form->state().scaleMaxY) && std::isfinite(f.form->state().scaleMinY));
    QCOMPARE(f.form->state().scaleMaxY, 38.57f); // 29 with a third of headroom
    QVERIFY(std::isfinite(f.form->recordBuffer().at(std::size_t(f.form->state().maxIndex)).fValue));
    QVERIFY(std::isfinite(f.form->recordBuffer().at(std::size_t(f.form->state().minIndex)).fValue));
    f.form->sbtnFirstPageClick();
    f.form->sbtnLastPageClick();
}

void TestRecorderFiles::failedSaveKeepsTheOldFileAndTheUnsavedState()
{
    Files f;
    f.log(3);
    // A folder that does not exist.
    f.savePath = f.dir.filePath("gone/run.g52");
    QVERIFY(!f.form->sbtnSaveFileClick());
    QCOMPARE(f.boxes, QStringList{"Error[E9005]"});
    QVERIFY(f.form->state().unsavedData);

    // A disk that fills up in the middle of the save: the earlier file stays.
    f.savePath = writeRecords(f.dir.filePath("old.g52"), 1);
    const QByteArray old = [&] {
        QFile file(f.savePath);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    rlimit previous{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 100;
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = f.form->sbtnSaveFileClick();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!saved);
    QCOMPARE(f.boxes.last(), QStringLiteral("Error[E9005]"));
    QVERIFY(f.form->state().unsavedData);
    QFile file(f.savePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"old.g52"});
}

void TestRecorderFiles::abortedOpenDropsWhatWasRead()
{
    Files f;
    f.openPath = writeRecords(f.dir.filePath("big.g52"), 400000);
    f.answers = {QMessageBox::No, QMessageBox::Yes};
    int presses = 0;
    QTimer abort;
    connect(&abort, &QTimer::timeout, this, [&] {
        if (f.progress->isVisible() && presses < 2) {
            ++presses;
            f.progress->bbtnAbort->click(); // No first: the load goes on; then Yes
        }
    });
    abort.start(1);
    f.form->sbtnOpenFileClick();
    QCOMPARE(presses, 2);
    QCOMPARE(f.boxes, (QStringList{"Warning[W8014]", "Warning[W8014]"}));
    QVERIFY(!bBusy);
    QVERIFY(!f.progress->isVisible());
    QCOMPARE(f.form->recordBuffer().size(), 0u);
    QCOMPARE(f.form->state().readingCount, 0);
    QVERIFY(f.form->state().bufferEmpty);
    QCOMPARE(f.listLines(), 0);
    QCOMPARE(f.form->chart()->GetYData(0, 199), PEGraph::kNullDataValue);
    QVERIFY(f.form->sbtnOpenFile->isEnabled());
}

void TestRecorderFiles::closeQuestion_data()
{
    QTest::addColumn<int>("logged");
    QTest::addColumn<bool>("savedBefore");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooseFile");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("boxes");
    QTest::newRow("empty buffer") << 0 << false << int(QMessageBox::Cancel) << false << true << 0;
    QTest::newRow("saved") << 2 << true << int(QMessageBox::Cancel) << false << true << 0;
    QTest::newRow("Cancel") << 2 << false << int(QMessageBox::Cancel) << false << false << 1;
    QTest::newRow("No") << 2 << false << int(QMessageBox::No) << false << true << 1;
    QTest::newRow("Yes, saved") << 2 << false << int(QMessageBox::Yes) << true << true << 1;
    QTest::newRow("Yes, dialog cancelled")
        << 2 << false << int(QMessageBox::Yes) << false << false << 1;
}

void TestRecorderFiles::closeQuestion()
{
    QFETCH(int, logged);
    QFETCH(bool, savedBefore);
    QFETCH(int, answer);
    QFETCH(bool, chooseFile);
    QFETCH(bool, closes);
    QFETCH(int, boxes);
    QTemporaryDir dir;
    ShellFixture shell(dir.path(), 0);
    TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    const QString path = dir.filePath("exit.g52");
    recorder->setFileChoosers({}, [&] { return chooseFile || savedBefore ? path : QString(); });
    CurrentReading reading;
    reading.sDigits = " 1.000";
    reading.sExponent = "0";
    reading.iFunction = 5;
    for (int i = 0; i < logged; ++i)
        recorder->store().appendReading(reading, "t");
    if (savedBefore)
        QVERIFY(recorder->sbtnSaveFileClick());
    const int boxesBefore = shell.boxes().size();
    shell.answerBoxesWith(answer);
    QCOMPARE(shell.main().close(), closes);
    QCOMPARE(shell.boxes().size() - boxesBefore, boxes);
    if (boxes) {
        const MessageBoxRequest& box = shell.boxes().last();
        QCOMPARE(box.caption, QStringLiteral("Warning[W8003]"));
        QCOMPARE(box.text, QStringLiteral("Buffer has data.\nDo you want to save the data to a "
                                          "file before exit ?"));
        QCOMPARE(box.defaultButton, QMessageBox::Cancel);
    }
    QCOMPARE(QFile::exists(path), chooseFile || savedBefore);
    shell.answerBoxesWith(QMessageBox::No);
}

void TestRecorderFiles::tileWithEveryWindow()
{
    QTemporaryDir dir;
    ShellFixture shell(dir.path(), 0);
    AppWindows& w = shell.windows();
    QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
    w.GraphicalForm->move(5, 5);
    w.DataPageListForm->move(500, 500);
    QTest::mouseClick(shell.main().sbtnWinTile, Qt::LeftButton);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const int m = shell.main().frameGeometry().height();
    const int d = w.DigitalMeterForm->frameGeometry().height();
    const int a = w.AnalogMeterForm->frameGeometry().height();
    QCOMPARE(
        w.GraphicalForm->frameGeometry(),
        QRect(screen.width() / 4, m, screen.width() - screen.width() / 4, screen.height() - m));
    QCOMPARE(w.DataPageListForm->frameGeometry(),
             QRect(0, m + d + a, screen.width() / 4, screen.height() - (m + d + a)));
    // Hidden windows stay hidden and keep their places.
    w.DataPageListForm->hide();
    w.GraphicalForm->hide();
    QTest::mouseClick(shell.main().sbtnWinTile, Qt::LeftButton);
    QVERIFY(!w.DataPageListForm->isVisible() && !w.GraphicalForm->isVisible());
    QTest::mouseClick(shell.main().sbtnGraphical, Qt::LeftButton);
    QTest::mouseClick(shell.main().sbtnDataList, Qt::LeftButton);
    QVERIFY(w.DataPageListForm->isVisible() && w.GraphicalForm->isVisible());
}

QTEST_MAIN(TestRecorderFiles)
#include "tst_recorderfiles.moc"
