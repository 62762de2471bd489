// SPDX-License-Identifier: MIT
// Runs that did not end normally (temporary files nobody holds) are offered
// back once at start-up: the newest opened in the recorder, left, or deleted
// after a second question; a saved run's file is offered for deletion. The
// question stays on the screen however many runs it lists, and Enter leaves them.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "FileLocks.h"
#include "GraphicalForm.h"
#include "LostRuns.h"
#include "LostRunsOffer.h"
#include "LostRunsQuestion.h"
#include "Record.h"
#include "ShellFixture.h"

using namespace dmm;

class TestLostRuns : public QObject
{
    Q_OBJECT
private slots:
    void startupOffersTheRunsNobodyHolds_data();
    void startupOffersTheRunsNobodyHolds();
    void savingOffersToDeleteTheOpenedRunsFile_data();
    void savingOffersToDeleteTheOpenedRunsFile();
    void anyRunWithReadingsCanBeOpened_data();
    void anyRunWithReadingsCanBeOpened();
    void anOpenedRunIsHeldUntilSaved_data();
    void anOpenedRunIsHeldUntilSaved();
    void questionFitsTheScreenAndEnterLeavesTheRuns_data();
    void questionFitsTheScreenAndEnterLeavesTheRuns();
    void lineSaysWhenATimeIsUnknown();
};

namespace {

QString runName(int n)
{
    return QStringLiteral("~KOPLX%1.TMP").arg(n);
}

// ~KOPLXn.TMP with `count` records a second apart from 10:n:00, and `tail`
// bytes of a record the crash cut short; written `age` minutes ago.
void writeRun(const QDir& dir, int n, int count, int tail, int age)
{
    QFile file(dir.filePath(runName(n)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < count; ++i) {
        TARecord record;
        record.timeStamp = formatTimeStamp(10, n, i, 0);
        record.display = "1.234";
        record.fValue = static_cast<float>(i);
        const auto bytes = encodeARecord(record);
        file.write(reinterpret_cast<const char*>(bytes.data()), kARecordSize);
    }
    file.write(QByteArray(tail, 'x'));
    QVERIFY(file.flush()); // a later write would set the time again
    file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * age),
                     QFileDevice::FileModificationTime);
}

QStringList runsIn(const QDir& dir)
{
    return dir.entryList({QStringLiteral("~KOPLX*.TMP")}, QDir::Files, QDir::Name);
}

// The runs another program would offer now, by name.
QStringList offeredRuns(const QDir& dir)
{
    QStringList offered;
    for (const LostRun& run : findLostRuns(dir.path()))
        offered << QFileInfo(run.path).fileName();
    offered.sort();
    return offered;
}

bool isLostRunsQuestion(const MessageBoxRequest& box)
{
    return box.caption == QStringLiteral("Warning[W8182]");
}

} // namespace

void TestLostRuns::startupOffersTheRunsNobodyHolds_data()
{
    QTest::addColumn<QList<int>>("recordCounts"); // of ~KOPLX1, ~KOPLX2, ..., oldest first
    QTest::addColumn<int>("tail");
    QTest::addColumn<int>("heldRun"); // held by another program; 0: none
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("listedLines"); // the question's lines, newest first
    QTest::addColumn<bool>("openOffered");        // the question, when asked, has Open
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("bufferSize");

    const int open = QMessageBox::Open;
    const int leave = QMessageBox::Cancel;
    const int remove = QMessageBox::Discard;
    const int yes = QMessageBox::Yes;
    const int no = QMessageBox::No;
    const QStringList both{runName(1), runName(2)};
    const QStringList newestFirst{runName(2), runName(1)};

    QTest::newRow("one reading") << QList<int>{1} << 0 << 0 << QList<int>{leave}
                                 << QStringList{QStringLiteral(
                                        "~KOPLX1.TMP: 1 reading, 10:01:00.0 to 10:01:00.0")}
                                 << true << QStringList{runName(1)} << 0;
    QTest::newRow("none") << QList<int>{} << 0 << 0 << QList<int>{} << QStringList{} << false
                          << QStringList{} << 0;
    QTest::newRow("one, opened") << QList<int>{3} << 0 << 0 << QList<int>{open}
                                 << QStringList{QStringLiteral(
                                        "~KOPLX1.TMP: 3 readings, 10:01:00.0 to 10:01:02.0")}
                                 << true << QStringList{runName(1)} << 3;
    QTest::newRow("whole records and a partial tail")
        << QList<int>{4} << 30 << 0 << QList<int>{open}
        << QStringList{QStringLiteral("~KOPLX1.TMP: 4 readings, 10:01:00.0 to 10:01:03.0")} << true
        << QStringList{runName(1)} << 4;
    QTest::newRow("two, the newest opened")
        << QList<int>{2, 5} << 0 << 0 << QList<int>{open}
        << QStringList{QStringLiteral("~KOPLX2.TMP: 5 readings, 10:02:00.0 to 10:02:04.0"),
                       QStringLiteral("~KOPLX1.TMP: 2 readings, 10:01:00.0 to 10:01:01.0")}
        << true << both << 5;
    QTest::newRow("two, left") << QList<int>{2, 5} << 0 << 0 << QList<int>{leave}
                               << QStringList{QStringLiteral("~KOPLX2.TMP"),
                                              QStringLiteral("~KOPLX1.TMP")}
                               << true << both << 0;
    QTest::newRow("two, deleted after the second question")
        << QList<int>{2, 5} << 0 << 0 << QList<int>{remove, yes} << newestFirst << true
        << QStringList{} << 0;
    QTest::newRow("two, deleting not confirmed")
        << QList<int>{2, 5} << 0 << 0 << QList<int>{remove, no} << newestFirst << true << both << 0;
    QTest::newRow("one held by another program, the other deleted")
        << QList<int>{2, 5} << 0 << 2 << QList<int>{remove, yes}
        << QStringList{QStringLiteral("~KOPLX1.TMP")} << true << QStringList{runName(2)} << 0;
    QTest::newRow("only a held one") << QList<int>{2} << 0 << 1 << QList<int>{} << QStringList{}
                                     << false << QStringList{runName(1)} << 0;
    QTest::newRow("a run without readings cannot be opened")
        << QList<int>{0} << 20 << 0 << QList<int>{open}
        << QStringList{QStringLiteral("~KOPLX1.TMP: no readings")} << false
        << QStringList{runName(1)} << 0;
    QTest::newRow("the newest without readings, the older one opened")
        << QList<int>{3, 0} << 0 << 0 << QList<int>{open}
        << QStringList{QStringLiteral("~KOPLX2.TMP: no readings"),
                       QStringLiteral("~KOPLX1.TMP: 3 readings")}
        << true << both << 3;
    QTest::newRow("the readings only in a held run, nothing to open")
        << QList<int>{0, 5} << 0 << 2 << QList<int>{leave}
        << QStringList{QStringLiteral("~KOPLX1.TMP: no readings")} << false << both << 0;
}

void TestLostRuns::startupOffersTheRunsNobodyHolds()
{
    QFETCH(QList<int>, recordCounts);
    QFETCH(int, tail);
    QFETCH(int, heldRun);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, listedLines);
    QFETCH(bool, openOffered);
    QFETCH(QStringList, remaining);
    QFETCH(int, bufferSize);

    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    for (int i = 0; i < recordCounts.size(); ++i)
        writeRun(dir, i + 1, recordCounts[i], tail, 10 * (recordCounts.size() - i));
    QFile held(dir.filePath(runName(heldRun)));
    if (heldRun > 0) {
        QVERIFY(held.open(QIODevice::ReadWrite));
        QVERIFY(lockExclusive(held.handle()));
    }

    ShellFixture shell(scratch.path(), 0);
    shell.answerBoxesInTurn(answers);
    const auto asked = [&shell] {
        return std::count_if(shell.boxes().cbegin(), shell.boxes().cend(), isLostRunsQuestion);
    };
    if (listedLines.isEmpty()) {
        QCoreApplication::processEvents();
        QCOMPARE(asked(), 0);
    } else {
        QTRY_COMPARE(asked(), 1);
        const auto question =
            std::find_if(shell.boxes().cbegin(), shell.boxes().cend(), isLostRunsQuestion);
        const QStringList lines = question->detail.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), listedLines.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith(listedLines[i]), qPrintable(lines[i]));
        QCOMPARE(question->buttons.testFlag(QMessageBox::Open), openOffered);
    }

    QCOMPARE(runsIn(dir), remaining);
    const TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    QCOMPARE(int(recorder->recordBuffer().size()), bufferSize);
    if (bufferSize > 0) {
        // Unsaved, so closing the program asks as usual.
        QVERIFY(recorder->state().unsavedData);
        QCOMPARE(recorder->recordBuffer().at(bufferSize - 1).fValue, float(bufferSize - 1));
    }
}

void TestLostRuns::savingOffersToDeleteTheOpenedRunsFile_data()
{
    QTest::addColumn<bool>("openAnother"); // the opened run dropped for another file first
    QTest::addColumn<QString>("savedAs");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("remaining");
    const QString g52 = QStringLiteral("run.g52");
    QTest::newRow("deleted") << false << g52 << int(QMessageBox::Yes) << QStringList{runName(2)};
    QTest::newRow("kept") << false << g52 << int(QMessageBox::No)
                          << QStringList{runName(1), runName(2)};
    QTest::newRow("no longer in the buffer, not offered")
        << true << g52 << int(QMessageBox::Yes) << QStringList{runName(1), runName(2)};
    QTest::newRow("saved onto the run's own file: refused, kept")
        << false << runName(1) << int(QMessageBox::Yes) << QStringList{runName(1), runName(2)};
}

void TestLostRuns::savingOffersToDeleteTheOpenedRunsFile()
{
    QFETCH(bool, openAnother);
    QFETCH(QString, savedAs);
    QFETCH(int, answer);
    QFETCH(QStringList, remaining);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    writeRun(dir, 1, 3, 0, 5);
    writeRun(dir, 2, 4, 0, 9);
    ShellFixture shell(scratch.path(), 0);
    shell.answerBoxesInTurn({QMessageBox::Open});
    TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    QTRY_COMPARE(int(recorder->recordBuffer().size()), 3);
    if (openAnother) {
        shell.answerBoxesWith(QMessageBox::Ok); // Clear's question
        QVERIFY(recorder->openFile(dir.filePath(runName(2))));
        QCOMPARE(int(recorder->recordBuffer().size()), 4);
    }
    const QStringList boxesBefore = shell.boxCaptions();
    shell.answerBoxesInTurn({answer});
    recorder->setFileChoosers({}, [&] { return dir.filePath(savedAs); });
    // The opened run's own file is held while its readings are unsaved.
    const bool ontoTheRun = savedAs != QStringLiteral("run.g52");
    QCOMPARE(recorder->sbtnSaveFileClick(), !ontoTheRun);
    QCOMPARE(shell.boxCaptions().mid(boxesBefore.size()),
             ontoTheRun    ? QStringList{"Error[E9005]"}
             : openAnother ? QStringList{}
                           : QStringList{"Warning[W8187]"});
    QCOMPARE(runsIn(dir), remaining);
    QCOMPARE(QFileInfo(dir.filePath(savedAs)).size(),
             qint64((openAnother ? 4 : 3) * kARecordSize));
}

void TestLostRuns::anyRunWithReadingsCanBeOpened_data()
{
    QTest::addColumn<QList<int>>("recordCounts"); // oldest first
    QTest::addColumn<bool>("offered");           // "Open another run..."
    QTest::addColumn<int>("picked");             // in the pick's lines, newest first
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("pickLineCount");
    QTest::newRow("the oldest of three") << QList<int>{2, 5, 4} << true << 2 << 2 << 3;
    QTest::newRow("the newest with readings, past one without")
        << QList<int>{2, 5, 0} << true << 0 << 5 << 2;
    QTest::newRow("the pick cancelled") << QList<int>{2, 5} << true << -1 << 0 << 2;
    QTest::newRow("only one with readings: not offered")
        << QList<int>{0, 5} << false << -1 << 0 << 0;
}

void TestLostRuns::anyRunWithReadingsCanBeOpened()
{
    QFETCH(QList<int>, recordCounts);
    QFETCH(bool, offered);
    QFETCH(int, picked);
    QFETCH(int, bufferSize);
    QFETCH(int, pickLineCount);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    for (int i = 0; i < recordCounts.size(); ++i)
        writeRun(dir, i + 1, recordCounts[i], 0, 10 * (recordCounts.size() - i));
    QStringList pickLines;
    setLostRunChooser([&](const QStringList& lines) {
        pickLines = lines;
        return picked;
    });
    ShellFixture shell(scratch.path(), 0);
    shell.answerBoxesInTurn({offered ? int(QMessageBox::Apply) : int(QMessageBox::Cancel)});
    QTRY_VERIFY(std::any_of(shell.boxes().cbegin(), shell.boxes().cend(), isLostRunsQuestion));
    const auto question =
        std::find_if(shell.boxes().cbegin(), shell.boxes().cend(), isLostRunsQuestion);
    QCOMPARE(question->buttons.testFlag(QMessageBox::Apply), offered);
    const TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    if (bufferSize > 0) // loaded, whichever run it was: a wrong one fails at once
        QTRY_VERIFY(recorder->state().readingCount > 0);
    QCoreApplication::processEvents();
    QCOMPARE(int(recorder->recordBuffer().size()), bufferSize);
    QCOMPARE(pickLines.size(), pickLineCount);
    setLostRunChooser({});
}

void TestLostRuns::anOpenedRunIsHeldUntilSaved_data()
{
    QTest::addColumn<bool>("saved");
    // What another program finds meanwhile: while the question whether to
    // delete the saved run's file is open, and afterwards.
    QTest::addColumn<QStringList>("offeredWhileAsked");
    QTest::addColumn<QStringList>("offeredElsewhere");
    QTest::newRow("unsaved: held") << false << QStringList{} << QStringList{runName(2)};
    QTest::newRow("saved: held while asked, let go once kept")
        << true << QStringList{runName(2)} << QStringList{runName(1), runName(2)};
}

void TestLostRuns::anOpenedRunIsHeldUntilSaved()
{
    QFETCH(bool, saved);
    QFETCH(QStringList, offeredWhileAsked);
    QFETCH(QStringList, offeredElsewhere);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    writeRun(dir, 1, 3, 0, 5);
    writeRun(dir, 2, 4, 0, 9);
    ShellFixture shell(scratch.path(), 0);
    shell.answerBoxesInTurn({QMessageBox::Open});
    TGraphicalForm* recorder = shell.windows().GraphicalForm.get();
    QTRY_COMPARE(int(recorder->recordBuffer().size()), 3);
    QStringList offeredAtTheQuestion;
    setMessageBoxHandler([&](const MessageBoxRequest&) {
        offeredAtTheQuestion = offeredRuns(dir);
        return int(QMessageBox::No);
    });
    if (saved) {
        recorder->setFileChoosers({}, [&dir] { return dir.filePath(QStringLiteral("r.g52")); });
        QVERIFY(recorder->sbtnSaveFileClick());
    }
    QCOMPARE(offeredAtTheQuestion, offeredWhileAsked);
    QCOMPARE(offeredRuns(dir), offeredElsewhere);
}

void TestLostRuns::questionFitsTheScreenAndEnterLeavesTheRuns_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("scrollingLines"); // 0: the lines are the box's text
    QTest::newRow("3 runs") << 3 << 0;
    QTest::newRow("80 runs") << 80 << 80;
}

void TestLostRuns::questionFitsTheScreenAndEnterLeavesTheRuns()
{
    QFETCH(int, runs);
    QFETCH(int, scrollingLines);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    for (int n = 1; n <= runs; ++n)
        writeRun(dir, n, 2, 0, runs - n);
    QRect shown;
    int lines = -1;
    int longest = 0;
    int textWidth = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        answer.stop();
        shown = box->frameGeometry();
        const auto* list = box->findChild<QPlainTextEdit*>();
        lines = list ? list->blockCount() : 0;
        // A short list is the box's text: each run on one line of its own.
        if (const auto* text = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
            for (const QString& line : text->text().split('\n'))
                longest = std::max(longest, text->fontMetrics().horizontalAdvance(line));
            textWidth = text->contentsRect().width();
        }
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : box, Qt::Key_Return);
    });
    answer.start(5);
    QCOMPARE(askAboutLostRuns(nullptr, dir.path(), findLostRuns(dir.path())),
             LostRunsAnswer::Leave);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(
        screen.contains(shown),
        qPrintable(QStringLiteral("%1 px high on %2").arg(shown.height()).arg(screen.height())));
    QCOMPARE(lines, scrollingLines);
    QVERIFY2(textWidth >= longest,
             qPrintable(QStringLiteral("%1 px for a line of %2").arg(textWidth).arg(longest)));
}

void TestLostRuns::lineSaysWhenATimeIsUnknown()
{
    QTemporaryDir scratch;
    const QString path = QDir(scratch.path()).filePath(runName(1));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const std::string& time : {std::string("garbled"), formatTimeStamp(10, 1, 1, 0)}) {
        TARecord record;
        record.timeStamp = time;
        record.display = "1.234";
        const auto bytes = encodeARecord(record);
        QCOMPARE(file.write(reinterpret_cast<const char*>(bytes.data()), kARecordSize),
                 qint64(kARecordSize));
    }
    file.close();
    const QString line = lostRunLine(describeLostRun(path));
    QVERIFY2(line.startsWith("~KOPLX1.TMP: 2 readings, time unknown to 10:01:01.0, last written "),
             qPrintable(line));
}

QTEST_MAIN(TestLostRuns)
#include "tst_lostruns.moc"
