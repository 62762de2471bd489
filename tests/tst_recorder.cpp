// SPDX-License-Identifier: MIT
// The recorder window: commands and their enabled states, the interval
// dialog, paging, the cursor readout, Clear, runs and their temporary files.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>

#include "DialogOption.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "TableExportDialog.h"
#include "ViewMessages.h"

using namespace dmm;

namespace {

// A recorder with its own strip standing in for the main window, a reading
// the test sets, and message boxes answered by the test.
struct Recorder
{
    QTemporaryDir dir;
    QWidget strip;
    CurrentReading reading;
    QStringList boxes;
    int answer = QMessageBox::Ok;
    std::unique_ptr<TGraphicalForm> form;
    std::unique_ptr<TDialogOption> option;

    // The start-up folder is `folder` in the test's own, or that one itself.
    explicit Recorder(const QString& folder = {})
    {
        strip.setGeometry(0, 0, 800, 60);
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request.caption;
            return answer;
        });
        bDataValid = 1;
        bBusy = false;
        setReading(" 1.234", "0", 5, "1.234", "", "V");
        form = std::make_unique<TGraphicalForm>(
            &strip, &reading, folder.isEmpty() ? dir.path() : dir.filePath(folder));
        option = std::make_unique<TDialogOption>(form.get());
        form->setOptionDialog(option.get());
    }
    ~Recorder()
    {
        option.reset();
        form.reset();
        setMessageBoxHandler({});
        bDataValid = 0;
    }

    void setReading(const std::string& digits, const std::string& exponent, int function,
                    const std::string& value, const std::string& prefix, const std::string& unit)
    {
        reading.sDigits = digits;
        reading.sExponent = exponent;
        reading.iFunction = function;
        reading.szValue = value;
        reading.szPrefix = prefix;
        reading.szUnit = unit;
    }
    void logManually(int count)
    {
        for (int i = 0; i < count; ++i)
            form->store().appendReading(reading, timeStampNow());
    }
    QString status(int panel) const { return form->StatusPanels[panel]->text(); }
};

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT
private slots:
    void startState();
    void enabledStatesFollowTheState();
    void startWithoutAReadingRefuses();
    void startTwiceOpensTheNextFileAndLogsAtOnce();
    void stopAndUnlinkEndTheRun();
    void tempFileFailureStopsTheRunBeforeTheBox_data();
    void tempFileFailureStopsTheRunBeforeTheBox();
    void intervalDialog_data();
    void intervalDialog();
    void manualModeAndStatusText();
    void pagingWarnsAtTheEnds();
    void cursorReadoutOnAPartialPage();
    void axisLabel_data();
    void axisLabel();
    void clearAsksAndEmpties();
    void pageUpKeyWhileRecording();
    void closeHidesAndPausesTheTimer();
    void accessibleNames();
    void exportTableChoicesFollowTheName_data();
    void exportTableChoicesFollowTheName();
    void progressBarWrapsAfterAPage_data();
    void progressBarWrapsAfterAPage();
};

void TestRecorder::startState()
{
    Recorder r;
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.form->windowTitle(), QStringLiteral("Graphical Recorder"));
    QVERIFY(r.form->sbtnRecordStop->isChecked());
    QVERIFY(!r.form->sbtnImport->isVisible());
    QVERIFY(!r.form->miImport->isVisible());
    QCOMPARE(r.status(1), QStringLiteral("Data in buffer : 0"));
    QCOMPARE(r.status(2), QStringLiteral("Page : 1 of 1"));
    QCOMPARE(r.status(3), QStringLiteral("Full Speed"));
    QVERIFY(r.status(4).endsWith(QLatin1Char('"')));
    QCOMPARE(r.form->chart()->GetCursorPoint(), 199);
    QCOMPARE(r.form->miStart->shortcut(), QKeySequence(Qt::Key_F9));
    QCOMPARE(r.form->miStop->shortcut(), QKeySequence(Qt::Key_F3));
    QCOMPARE(r.form->miManual->shortcut(), QKeySequence(Qt::Key_F7));
    QCOMPARE(r.form->miFitAll->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    QCOMPARE(r.form->miUndoZoom->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
}

void TestRecorder::enabledStatesFollowTheState()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    // Idle, empty.
    QVERIFY(f.sbtnRecordStart->isEnabled() && f.miStart->isEnabled() && !f.miStop->isEnabled());
    QVERIFY(!f.sbtnSaveFile->isEnabled() && !f.sbtnClear->isEnabled() && !f.miExport->isEnabled());
    QVERIFY(f.sbtnOpenFile->isEnabled() && !f.sbtnManualLogging->isEnabled());
    QVERIFY(!f.sbtnFitView->isEnabled() && !f.sbtnUndoZoom->isEnabled());
    // Recording.
    f.sbtnRecordStart->click();
    QVERIFY(f.state().recording);
    QVERIFY(f.sbtnRecordStop->isEnabled() && !f.miStart->isEnabled() && f.miStop->isEnabled());
    QVERIFY(!f.sbtnOpenFile->isEnabled() && !f.sbtnOption->isEnabled());
    QVERIFY(!f.sbtnSaveFile->isEnabled() && !f.sbtnPageUp->isEnabled());
    QCOMPARE(r.status(0), QStringLiteral("Data Logging ..."));
    sendViewMessage(&f, WM_DMM_NEWDATA);
    QCOMPARE(f.state().readingCount, 1);
    // Stopped with data, over two pages.
    f.sbtnRecordStop->click();
    r.logManually(250);
    QVERIFY(f.sbtnSaveFile->isEnabled() && f.sbtnClear->isEnabled() && f.miPrintPage->isEnabled());
    QVERIFY(f.sbtnFirstPage->isEnabled() && f.sbtnPageUp->isEnabled() &&
            f.sbtnFitView->isEnabled());
    QVERIFY(!f.sbtnPageDown->isEnabled() && !f.sbtnLastPage->isEnabled());
    QCOMPARE(r.status(0), QString());
    // Busy.
    bBusy = true;
    f.UpdateControls();
    QVERIFY(!f.sbtnRecordStart->isEnabled() && !f.sbtnSaveFile->isEnabled() &&
            !f.sbtnOpenFile->isEnabled() && !f.sbtnPageUp->isEnabled());
    bBusy = false;
}

void TestRecorder::startWithoutAReadingRefuses()
{
    Recorder r;
    bDataValid = 0;
    r.form->sbtnRecordStart->click();
    QCOMPARE(r.boxes, QStringList{"Error[E9002]"});
    QVERIFY(r.form->sbtnRecordStop->isChecked());
    QVERIFY(!r.form->state().recording);
    QVERIFY(QDir(r.dir.path()).entryList(QDir::Files).isEmpty());
    r.form->sbtnManualLoggingClick();
    QCOMPARE(r.boxes.size(), 2);
    QCOMPARE(r.form->state().readingCount, 0);
}

void TestRecorder::startTwiceOpensTheNextFileAndLogsAtOnce()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    f.sbtnRecordStart->click();
    QVERIFY(f.state().logTickPending);
    sendViewMessage(&f, WM_DMM_NEWDATA);
    sendViewMessage(&f, WM_DMM_NEWDATA); // a second notice for the same tick logs nothing
    QCOMPARE(f.state().readingCount, 1);
    f.sbtnRecordStart->click();
    QVERIFY(f.state().logTickPending);
    sendViewMessage(&f, WM_DMM_NEWDATA);
    QCOMPARE(QFileInfo(r.dir.filePath("~KOPLX1.TMP")).size(), 76);
    QCOMPARE(QFileInfo(r.dir.filePath("~KOPLX2.TMP")).size(), 76);
    QCOMPARE(f.state().readingCount, 2);
    r.option.reset();
    r.form.reset(); // the normal end deletes both
    QVERIFY(!QFile::exists(r.dir.filePath("~KOPLX1.TMP")));
    QVERIFY(!QFile::exists(r.dir.filePath("~KOPLX2.TMP")));
}

void TestRecorder::stopAndUnlinkEndTheRun()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    f.sbtnRecordStart->click();
    QVERIFY(f.TimerLogger.isActive());
    QCOMPARE(f.TimerLogger.interval(), 500);
    sendViewMessage(&f, WM_DMM_UNLINKED);
    QVERIFY(!f.state().recording);
    QVERIFY(!f.TimerLogger.isActive());
    QVERIFY(f.sbtnRecordStop->isChecked());
    QVERIFY(!f.state().logTickPending);
    QVERIFY(!f.store().tempFiles().isOpen());
    sendViewMessage(&f, WM_DMM_NEWDATA); // posted before the stop: not logged
    QCOMPARE(f.state().readingCount, 0);
}

void TestRecorder::tempFileFailureStopsTheRunBeforeTheBox_data()
{
    QTest::addColumn<QString>("folder"); // the start-up folder, in the test's own
    QTest::addColumn<bool>("refusing");  // made to refuse new files, even to root
    QTest::addColumn<int>("logged");     // readings of a run that went well first
    QTest::newRow("missing folder") << "gone" << false << 0;
    QTest::newRow("folder refusing new files") << "" << true << 0;
    QTest::newRow("Start again during a run") << "" << true << 1;
}

void TestRecorder::tempFileFailureStopsTheRunBeforeTheBox()
{
    QFETCH(QString, folder);
    QFETCH(bool, refusing);
    QFETCH(int, logged);
    Recorder r(folder);
    TGraphicalForm& f = *r.form;
    if (logged > 0) {
        f.sbtnRecordStart->click();
        sendViewMessage(&f, WM_DMM_NEWDATA);
    }
    // chattr +i: a folder that refuses new files whatever the user's rights.
    const auto immutable = [&](const char* flag) {
        return QProcess::execute(QStringLiteral("chattr"), {flag, r.dir.path()}) == 0;
    };
    if (refusing && !immutable("+i"))
        QSKIP("chattr +i is not possible here");
    const auto mutableAgain = qScopeGuard([&] {
        if (refusing)
            immutable("-i");
    });
    // What a reading that arrives while the box is open would find.
    QStringList atTheBox;
    setMessageBoxHandler([&](const MessageBoxRequest& request) {
        atTheBox << QStringLiteral("%1 recording %2 timer %3 due %4 stop %5")
                        .arg(request.caption)
                        .arg(f.state().recording)
                        .arg(f.TimerLogger.isActive())
                        .arg(f.state().logTickPending)
                        .arg(f.sbtnRecordStop->isChecked());
        sendViewMessage(&f, WM_DMM_NEWDATA);
        return int(QMessageBox::Ok);
    });
    f.sbtnRecordStart->click();
    QCOMPARE(atTheBox, QStringList{"Error[E9003] recording 0 timer 0 due 0 stop 1"});
    QCOMPARE(f.state().readingCount, logged);
    QVERIFY(!f.store().tempFiles().isOpen());
    QCOMPARE(r.status(0), QString()); // not "Data Logging ..."
    if (logged > 0)
        QCOMPARE(QFileInfo(r.dir.filePath("~KOPLX1.TMP")).size(), 76);
}

void TestRecorder::intervalDialog_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("listItem");
    QTest::newRow("10 seconds") << QStringList{"10"} << 0 << 10000 << 1;
    QTest::newRow("0 is Full Speed, list keeps Customization") << QStringList{"0"} << 0 << 500 << 1;
    QTest::newRow("-5 asks again") << QStringList{"-5", "-5", "7"} << 2 << 7000 << 1;
    QTest::newRow("abc keeps the previous value") << QStringList{"10", "abc"} << 1 << 10000 << 1;
    QTest::newRow("abc from Full Speed") << QStringList{"abc"} << 1 << 500 << 0;
    QTest::newRow("above the bound asks again")
        << QStringList{"2147484", "2147483"} << 1 << 2147483000 << 1;
}

void TestRecorder::intervalDialog()
{
    QFETCH(QStringList, answers);
    QFETCH(int, boxes);
    QFETCH(int, intervalMs);
    QFETCH(int, listItem);
    Recorder r;
    TDialogOption& d = *r.option;
    QStringList remaining = answers;
    QStringList defaults;
    d.setInputBox([&](const QString& caption, const QString& prompt, const QString& text) {
        defaults << text;
        [&] {
            QCOMPARE(caption, QStringLiteral("Interval in second(s)"));
            QCOMPARE(prompt, QStringLiteral("Input an integer value ? "));
        }();
        return remaining.isEmpty() ? text : remaining.takeFirst();
    });
    QTimer::singleShot(0, &d, [&] {
        // "abc after 10": the first answer comes from an earlier choice.
        const int rounds = answers.size() == 2 && answers[1] == QLatin1String("abc") ? 2 : 1;
        for (int i = 0; i < rounds; ++i) {
            d.cbxInterval->setCurrentIndex(1); // the user picks "Customization..."
            emit d.cbxInterval->activated(1);
        }
        QCOMPARE(d.cbxInterval->currentIndex(), listItem);
        d.btnOk->click();
    });
    r.form->sbtnOptionClick();
    QCOMPARE(r.boxes.size(), boxes);
    for (const QString& caption : r.boxes)
        QCOMPARE(caption, QStringLiteral("Error[E9007]"));
    QCOMPARE(r.form->state().logIntervalMs, intervalMs);
    QVERIFY(remaining.isEmpty());
}

void TestRecorder::manualModeAndStatusText()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    QTimer::singleShot(0, r.option.get(), [&] {
        r.option->rbtnManual->click();
        QVERIFY(!r.option->cbxInterval->isEnabled());
        r.option->btnOk->click();
    });
    f.sbtnOptionClick();
    QCOMPARE(r.status(3), QStringLiteral("Manual"));
    QVERIFY(!f.sbtnRecordStart->isEnabled() && !f.miStart->isEnabled() && !f.miStop->isEnabled());
    QVERIFY(f.sbtnManualLogging->isEnabled());
    f.sbtnManualLogging->click();
    QCOMPARE(f.state().readingCount, 1);
    QVERIFY(f.store().tempFiles().createdFiles().isEmpty()); // no file outside a run
    QCOMPARE(r.status(1), QStringLiteral("Data in buffer : 1"));

    // Cancel changes nothing.
    QTimer::singleShot(0, r.option.get(), [&] {
        QVERIFY(r.option->rbtnManual->isChecked());
        r.option->rbtnAutomatic->click();
        r.option->btnCancel->click();
    });
    f.sbtnOptionClick();
    QVERIFY(f.state().manualMode);
}

void TestRecorder::pagingWarnsAtTheEnds()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    r.logManually(401);
    QCOMPARE(f.state().lastPage, 3);
    QCOMPARE(r.status(2), QStringLiteral("Page : 3 of 3"));
    f.sbtnPageDownClick();
    QCOMPARE(r.boxes, QStringList{"Warning[W8009]"});
    f.sbtnFirstPage->click();
    QCOMPARE(f.state().shownPage, 1);
    QVERIFY(!f.sbtnPageUp->isEnabled() && f.sbtnPageDown->isEnabled());
    f.sbtnPageUpClick();
    QCOMPARE(r.boxes.last(), QStringLiteral("Warning[W8008]"));
    QCOMPARE(f.state().shownPage, 1);
    f.sbtnPageDown->click();
    QCOMPARE(r.status(2), QStringLiteral("Page : 2 of 3"));
    QVERIFY(f.sbtnPageUp->isEnabled() && f.sbtnLastPage->isEnabled());
    f.sbtnLastPage->click();
    QCOMPARE(f.state().shownPage, 3);
    QVERIFY(!f.sbtnLastPage->isEnabled());
}

void TestRecorder::cursorReadoutOnAPartialPage()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    r.logManually(201);
    f.sbtnPageUp->click();
    QCOMPARE(f.state().shownPage, 1);
    QCOMPARE(float(f.chart()->GetYData(0, 199)), 1.234f);
    QCOMPARE(f.chart()->GetYData(0, 198), PEGraph::kNullDataValue);
    f.chart()->SetCursorPoint(199);
    f.PEGraphCursorMoved();
    QCOMPARE(f.ReadingDataPanel->text(), QStringLiteral("1.234"));
    QCOMPARE(f.TimePanel->text(), QString::fromLatin1(f.recordBuffer().at(0).timeStamp.view()));
    f.chart()->SetCursorPoint(10);
    f.PEGraphCursorMoved();
    QCOMPARE(f.ReadingDataPanel->text(), QString());
    QCOMPARE(f.TimePanel->text(), QString());
    QCOMPARE(f.chart()->YAxisLabel, QStringLiteral("Reading"));
}

void TestRecorder::axisLabel_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("label");
    QTest::newRow("capacitance") << 8 << "F"
                                 << "Reading(uF)";
    QTest::newRow("resistance") << 128 << "W"
                                << "Reading(Ohm)";
    QTest::newRow("continuity") << 384 << "W"
                                << "Reading(Ohm)";
    QTest::newRow("DC volts") << 5 << "V"
                              << "Reading(V)";
    QTest::newRow("milliamps") << 514 << "A"
                               << "Reading(A)";
}

void TestRecorder::axisLabel()
{
    QFETCH(int, function);
    QFETCH(QString, unit);
    QFETCH(QString, label);
    Recorder r;
    r.setReading(" 1.000", "0", function, "1.000", "m", unit.toStdString());
    r.logManually(1);
    QCOMPARE(r.form->chart()->YAxisLabel, label);
}

void TestRecorder::clearAsksAndEmpties()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    QVERIFY(f.sbtnClearClick()); // empty: nothing asked
    QVERIFY(r.boxes.isEmpty());
    r.setReading(" 5.000", "0", 5, "5.000", "", "V");
    r.logManually(1);
    r.setReading(" 2.000", "0", 5, "2.000", "", "V");
    r.logManually(250);
    QCOMPARE(f.MaxDataPanel->text(), QStringLiteral("5.000"));
    QCOMPARE(f.MinDataPanel->text(), QStringLiteral("2.000"));
    r.answer = QMessageBox::Cancel;
    QVERIFY(!f.sbtnClearClick());
    QCOMPARE(r.boxes, QStringList{"Warning[W8002]"});
    QCOMPARE(f.recordBuffer().size(), 251u);
    r.answer = QMessageBox::Ok;
    const QString timeText = f.TimePanel->text();
    QVERIFY(f.sbtnClearClick());
    QCOMPARE(f.recordBuffer().size(), 0u);
    QVERIFY(f.state().bufferEmpty && !f.state().unsavedData);
    QCOMPARE(f.state().lastPage, 1);
    QCOMPARE(f.MaxDataPanel->text(), QString());
    QCOMPARE(f.MinFuncPanel->text(), QString());
    QCOMPARE(f.TimePanel->text(), timeText); // the readout keeps its texts
    QCOMPARE(f.chart()->GetCursorPoint(), 199);
    QCOMPARE(f.chart()->GetYData(0, 199), PEGraph::kNullDataValue);
    QCOMPARE(r.status(1), QStringLiteral("Data in buffer : 0"));
    QVERIFY(!f.sbtnClear->isEnabled());
}

void TestRecorder::pageUpKeyWhileRecording()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    r.logManually(300);
    f.sbtnRecordStart->click();
    QTest::keyClick(f.chart(), Qt::Key_PageUp);
    QCOMPARE(f.state().shownPage, 1);
    sendViewMessage(&f, WM_DMM_NEWDATA);
    QCOMPARE(f.state().shownPage, 2); // the next reading brings the newest page back
    bBusy = true;
    QTest::keyClick(f.chart(), Qt::Key_PageUp);
    QCOMPARE(f.state().shownPage, 2);
    bBusy = false;
}

void TestRecorder::closeHidesAndPausesTheTimer()
{
    Recorder r;
    TGraphicalForm& f = *r.form;
    f.sbtnRecordStart->click();
    f.miExit->trigger();
    QVERIFY(!f.isVisible());
    QVERIFY(!f.TimerLogger.isActive());
    QVERIFY(f.state().recording); // still recording, paused until Start
    QVERIFY(f.store().tempFiles().isOpen());
}

void TestRecorder::exportTableChoicesFollowTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("workbookType"); // the workbook's type chosen in the dialog
    QTest::addColumn<QString>("enabled");
    const QString all = QStringLiteral("separator 1 decimal comma 1 UTC 1");
    const QString utcOnly = QStringLiteral("separator 0 decimal comma 0 UTC 1");
    QTest::newRow("table.csv") << "table.csv" << false << all;
    QTest::newRow("TABLE.XLSX") << "TABLE.XLSX" << false << utcOnly;
    QTest::newRow("table.xlsx.csv") << "table.xlsx.csv" << false << all;
    QTest::newRow("no extension, workbook type") << "table" << true << utcOnly;
    QTest::newRow("table.csv, workbook type") << "table.csv" << true << all;
}

void TestRecorder::exportTableChoicesFollowTheName()
{
    QFETCH(QString, name);
    QFETCH(bool, workbookType);
    QFETCH(QString, enabled);
    QString shown;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        if (workbookType) {
            // As the user picks it from the list of types.
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QTest::keyClick(types, Qt::Key_End);
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        const auto on = [dialog](const char* control) {
            return dialog->findChild<QWidget*>(QLatin1String(control))->isEnabled();
        };
        shown = QStringLiteral("separator %1 decimal comma %2 UTC %3")
                    .arg(on("cbxSeparator"))
                    .arg(on("cbDecimalComma"))
                    .arg(on("cbUtc"));
        dialog->reject();
    });
    answer.start(5);
    QVERIFY(!chooseTableTarget(nullptr, QStringLiteral("Untitled")));
    QCOMPARE(shown, enabled);
}

void TestRecorder::accessibleNames()
{
    Recorder r;
    for (QToolButton* button : r.form->ToolPanel->findChildren<QToolButton*>()) {
        if (button->icon().isNull())
            continue;
        QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        QCOMPARE(button->accessibleName(), button->toolTip());
    }
}

void TestRecorder::progressBarWrapsAfterAPage_data()
{
    QTest::addColumn<int>("logged");
    QTest::addColumn<int>("shown");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("199") << 199 << 199;
    QTest::newRow("200: full") << 200 << 200;
    QTest::newRow("201: back to empty") << 201 << 0;
    QTest::newRow("202") << 202 << 1;
    QTest::newRow("401: full again") << 401 << 200;
    QTest::newRow("402: empty again") << 402 << 0;
}

void TestRecorder::progressBarWrapsAfterAPage()
{
    QFETCH(int, logged);
    QFETCH(int, shown);
    Recorder r;
    r.logManually(logged);
    QCOMPARE(r.form->ProgressBar->value(), shown);
}

QTEST_MAIN(TestRecorder)
#include "tst_recorder.moc"
