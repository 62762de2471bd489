// SPDX-License-Identifier: MIT
// What a screen reader does through Qt's accessibility interface: its Press on
// a button does what a mouse click does, once, and a press (on a button or a
// menu entry) that opens a modal dialog or a box returns before it opens, so
// the reader is never kept waiting;
// its Toggle on a check box or radio button does what a click does.
#include <QtTest>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "ComparatorForm.h"
#include "DialogOption.h"
#include "DlgExportForm.h"
#include "DlgRsPortForm.h"
#include "FormViewGraphic.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "RecorderStore.h"
#include "ShellFixture.h"

#include "MeterReadings.h"

using namespace dmm;

namespace {

// A screen reader's press: the button's first (default) action, the one an
// AT-SPI reader runs as doAction(0).
void pressAsAReader(QAbstractButton* button)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    QAccessibleActionInterface* actions = accessible ? accessible->actionInterface() : nullptr;
    QVERIFY(actions);
    QVERIFY(!actions->actionNames().isEmpty());
    actions->doAction(actions->actionNames().first());
}

// A screen reader's Press on a menu entry, through the entry's place in its menu.
void pressMenuEntryAsAReader(QAction* entry)
{
    QMenu* menu = nullptr;
    for (QObject* object : entry->associatedObjects())
        if ((menu = qobject_cast<QMenu*>(object)))
            break;
    QVERIFY(menu);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
    QVERIFY(list);
    QAccessibleInterface* item = list->child(int(menu->actions().indexOf(entry)));
    QVERIFY(item && item->actionInterface());
    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// Closes every modal dialog as soon as it shows and counts whether it showed
// while the screen reader's press was still running.
class ModalCloser
{
public:
    ModalCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++(m_pressing ? m_duringPress : m_afterPress);
                modal->close();
            }
        });
        m_timer.start(5);
    }
    void pressReturned() { m_pressing = false; }
    int duringPress() const { return m_duringPress; }
    int afterPress() const { return m_afterPress; }

private:
    QTimer m_timer;
    bool m_pressing = true;
    int m_duringPress = 0;
    int m_afterPress = 0;
};

// A dialog with check boxes or radio buttons, as it is first shown.
std::unique_ptr<QDialog> makeDialog(const QString& name)
{
    static std::array<bool, 8> everyPortPresent{true, true, true, true, true, true, true, true};
    std::unique_ptr<QDialog> dialog;
    if (name.startsWith(QLatin1String("interval"))) {
        auto option = std::make_unique<TDialogOption>();
        option->dlgManual = name.endsWith(QLatin1String("manual"));
        dialog = std::move(option);
    } else if (name == QLatin1String("port")) {
        dialog = std::make_unique<TDlgRsPortForm>(&everyPortPresent);
    } else {
        const bool viewer = name.startsWith(QLatin1String("viewer"));
        auto exporter = std::make_unique<TDlgExportForm>(viewer ? ExportDialogRole::Viewer
                                                                : ExportDialogRole::Recorder);
        viewer ? exporter->prepareViewerExport() : exporter->prepareRecorderExport(3);
        dialog = std::move(exporter);
    }
    dialog->show();
    return dialog;
}

// Its checkable controls that can be acted on, in its own order.
QList<QAbstractButton*> checkableControls(QDialog& dialog)
{
    QList<QAbstractButton*> controls = dialog.findChildren<QAbstractButton*>();
    controls.removeIf([&dialog](QAbstractButton* button) {
        return !button->isCheckable() || !button->isEnabled() || button->window() != &dialog;
    });
    return controls;
}

// Which of its controls are enabled, shown and checked (not those of a file dialog of its own).
QString dialogState(QDialog& dialog)
{
    QString state;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (widget->window() == &dialog)
            state += QStringLiteral("%1%2%3 ").arg(widget->isEnabled()).arg(
                widget->isVisibleTo(&dialog)).arg(button && button->isChecked());
    }
    return state;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startStopAndManualRunTheirCommands();
    void pressOffersPressNotToggle();
    void modalDialogOpensAfterThePressReturns_data();
    void modalDialogOpensAfterThePressReturns();
    void menuEntryOpensItsDialogAfterThePressReturns_data();
    void menuEntryOpensItsDialogAfterThePressReturns();
    void readersToggleActsAsAClick_data();
    void readersToggleActsAsAClick();
    void toggleButtonsSayWhetherTheyAreChecked();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ShellFixture> m_shell;
};

void TestAccessibility::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_shell = std::make_unique<ShellFixture>(m_dir->path(), 0);
    bDataValid = 1; // a reading has arrived
}

void TestAccessibility::cleanup()
{
    m_shell.reset();
    m_dir.reset();
    bDataValid = 0;
}

void TestAccessibility::startStopAndManualRunTheirCommands()
{
    QWidget strip;
    strip.setGeometry(0, 0, 800, 60);
    const CurrentReading reading = acVoltsReading(" 1.234");
    QTemporaryDir dir;
    TGraphicalForm recorder(&strip, &reading, dir.path());
    const QStringList boxesBefore = m_shell->boxCaptions();

    pressAsAReader(recorder.sbtnRecordStart);
    QTRY_VERIFY(recorder.state().recording);
    QVERIFY(recorder.sbtnRecordStart->isChecked());
    QVERIFY(recorder.TimerLogger.isActive());
    // The handler ran once: one temporary file.
    QCOMPARE(recorder.store().tempFiles().createdFiles().size(), 1);

    pressAsAReader(recorder.sbtnRecordStop);
    QTRY_VERIFY(!recorder.state().recording);
    QVERIFY(recorder.sbtnRecordStop->isChecked());
    QVERIFY(!recorder.TimerLogger.isActive());

    recorder.store().setMode(true, recorder.state().logIntervalMs);
    recorder.UpdateControls();
    const int before = recorder.state().readingCount;
    pressAsAReader(recorder.sbtnManualLogging);
    QTRY_COMPARE(recorder.state().readingCount, before + 1);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.state().readingCount, before + 1); // once, not twice
    QCOMPARE(m_shell->boxCaptions(), boxesBefore);       // no "link first" error
}

void TestAccessibility::pressOffersPressNotToggle()
{
    const QList<QAbstractButton*> buttons{m_shell->windows().GraphicalForm->sbtnRecordStart,
                                          m_shell->main().sbtnLink};
    for (QAbstractButton* button : buttons) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible && accessible->actionInterface());
        const QStringList names = accessible->actionInterface()->actionNames();
        QVERIFY(names.contains(QAccessibleActionInterface::pressAction()));
        QVERIFY(!names.contains(QAccessibleActionInterface::toggleAction()));
        QVERIFY(accessible->state().checkable);
        QCOMPARE(accessible->text(QAccessible::Name), button->toolTip());
    }
}

void TestAccessibility::modalDialogOpensAfterThePressReturns_data()
{
    QTest::addColumn<QString>("button");
    for (const char* name : {"recorder Interval", "recorder Open", "recorder Save",
                             "recorder Export", "recorder Print", "recorder Fit all data",
                             "viewer Export", "main Port", "main About", "comparator limits"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAccessibility::modalDialogOpensAfterThePressReturns()
{
    QFETCH(QString, button);
    AppWindows& windows = m_shell->windows();
    TGraphicalForm& recorder = *windows.GraphicalForm;
    const CurrentReading reading = acVoltsReading(" 1.234");
    for (int i = 0; i < 201; ++i) // two pages: save, export, print and fit are enabled
        recorder.store().appendReading(reading, timeStampNow());
    recorder.UpdateControls();
    if (button.startsWith(QLatin1String("viewer")))
        windows.FormViewGraphic->show();

    const QHash<QString, QAbstractButton*> buttons = {
        {"recorder Interval", recorder.sbtnOption},
        {"recorder Open", recorder.sbtnOpenFile},
        {"recorder Save", recorder.sbtnSaveFile},
        {"recorder Export", recorder.sbtnExport},
        {"recorder Print", recorder.sbtnPrintGraphic},
        {"recorder Fit all data", recorder.sbtnFitView},
        {"viewer Export", windows.FormViewGraphic->sbtnExport},
        {"main Port", m_shell->main().sbtnPort},
        {"main About", m_shell->main().sbtnAbout},
        {"comparator limits", windows.ComparatorForm->bbtnHiLowLimit},
    };
    QAbstractButton* pressed = buttons.value(button);
    QVERIFY(pressed && pressed->isEnabled());
    ModalCloser closer;
    pressAsAReader(pressed);
    closer.pressReturned();
    QCOMPARE(closer.duringPress(), 0);
    QTRY_VERIFY(closer.afterPress() > 0);
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestAccessibility::menuEntryOpensItsDialogAfterThePressReturns_data()
{
    QTest::addColumn<int>("entry"); // in the list below
    int entry = 0;
    for (const char* name :
         {"Open", "Save As", "Clear (asks first)", "Export", "Export table", "Print this page",
          "Printer Setup", "Interval", "Fit all data", "Graph Line Color"})
        QTest::newRow(name) << entry++;
}

void TestAccessibility::menuEntryOpensItsDialogAfterThePressReturns()
{
    QFETCH(int, entry);
    TGraphicalForm& r = *m_shell->windows().GraphicalForm;
    const CurrentReading reading = acVoltsReading(" 1.234");
    for (int i = 0; i < 201; ++i) // two pages, unsaved: every entry here is enabled
        r.store().appendReading(reading, timeStampNow());
    r.UpdateControls();
    QAction* pressed =
        QList<QAction*>{r.miOpen,        r.miSaveAs,        r.miClear,        r.miExport,
                        r.miExportTable, r.miPrintPage,     r.miPrinterSetup, r.miInterval,
                        r.miFitAll,      r.miGraphLineColor}
            .at(entry);
    QVERIFY(pressed->isEnabled());
    // Boxes are answered by the test: they count as shown when asked for.
    const qsizetype boxesBefore = m_shell->boxCaptions().size();
    ModalCloser closer;
    pressMenuEntryAsAReader(pressed);
    closer.pressReturned();
    QCOMPARE(closer.duringPress(), 0);
    QCOMPARE(m_shell->boxCaptions().size(), boxesBefore);
    QTRY_VERIFY(closer.afterPress() > 0 || m_shell->boxCaptions().size() > boxesBefore);
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestAccessibility::readersToggleActsAsAClick_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("control");
    for (const char* name : {"interval option, manual", "interval option, automatic",
                             "recorder export", "viewer export", "port"}) {
        const auto shown = makeDialog(name);
        const QList<QAbstractButton*> controls = checkableControls(*shown);
        for (int i = 0; i < controls.size(); ++i)
            QTest::addRow("%s: %s", name, qPrintable(controls[i]->text())) << QString(name) << i;
    }
}

void TestAccessibility::readersToggleActsAsAClick()
{
    QFETCH(QString, dialog);
    QFETCH(int, control);
    const auto clicked = makeDialog(dialog);
    const auto toggled = makeDialog(dialog);
    QAbstractButton* target = checkableControls(*clicked).at(control);
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(4, target->height() / 2));
    QVERIFY(target->isChecked());
    pressAsAReader(checkableControls(*toggled).at(control));
    QCOMPARE(dialogState(*toggled), dialogState(*clicked));
}

void TestAccessibility::toggleButtonsSayWhetherTheyAreChecked()
{
    const auto checked = [](QAbstractButton* button) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        return accessible && accessible->state().checkable && accessible->state().checked;
    };
    TGraphicalForm* recorder = m_shell->windows().GraphicalForm.get();
    QAbstractButton* link = m_shell->main().sbtnLink;
    // The states alone, not the commands behind them.
    const QSignalBlocker quietStart(recorder->sbtnRecordStart);
    const QSignalBlocker quietStop(recorder->sbtnRecordStop);
    const QSignalBlocker quietLink(link);
    recorder->sbtnRecordStart->setChecked(true);
    link->setChecked(true);
    QVERIFY(checked(recorder->sbtnRecordStart) && !checked(recorder->sbtnRecordStop));
    QVERIFY(checked(link));
    recorder->sbtnRecordStop->setChecked(true);
    link->setChecked(false);
    QVERIFY(!checked(recorder->sbtnRecordStart) && checked(recorder->sbtnRecordStop));
    QVERIFY(!checked(link));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
