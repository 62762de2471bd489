// SPDX-License-Identifier: MIT
// The port dialog and the port button: only ports found at start-up can be
// chosen, the current one stays selected, and the port is always reopened; a
// link whose device is gone can be linked again, leaving other files alone.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "AnalogMeterForm.h"
#include "DigitalMeterForm.h"
#include "DlgRsPortForm.h"
#include "PtyPair.h"
#include "SerialAdapters.h"
#include "SettingsFile.h"
#include "ShellFixture.h"

using namespace dmm;

class TestPortDialog : public QObject
{
    Q_OBJECT
private slots:
    void absentCurrentPortIsSelectedButDisabled();
    void portAboveEightSelectsNothingAndOkKeepsIt();
    void okTakesTheChoice();
    void cancelReopensTheSamePort();
    void eachPortShowsItsDevice();
    void tileStacksTheMetersUnderTheStrip();
    void linkControlMakesThePortsLink_data();
    void linkControlMakesThePortsLink();
    void linkedPortOpensOnOkAndTheChoiceIsKept();
    void portChoiceIsWrittenWhenMade();
};

namespace {

// A scratch by-id folder in which a pseudo-terminal stands for a USB adapter.
struct ScratchAdapter
{
    QTemporaryDir byId;
    PtyPair pty;
    QString stableName = byId.filePath(QStringLiteral("usb-Test_Meter_Cable-if00-port0"));
    ScratchAdapter()
    {
        QFile::link(pty.slavePath(), stableName);
        setAdapterSearchRoots({byId.path(), byId.filePath(QStringLiteral("no-dev"))});
    }
    ~ScratchAdapter() { setAdapterSearchRoots({}); }
};

enum class Entry
{
    None,
    LinkElsewhere,
    DanglingLink,
    RegularFile,
    LinkToSameDevice,
    FolderGone
};

} // namespace

void TestPortDialog::absentCurrentPortIsSelectedButDisabled()
{
    std::array<bool, 8> present{true, false, false, true, false, false, false, false};
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 3;
    dialog.show();
    QVERIFY(dialog.rbtnCom[0]->isEnabled());
    QVERIFY(!dialog.rbtnCom[2]->isEnabled());
    QVERIFY(dialog.rbtnCom[2]->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.iSelPort, 3);
}

void TestPortDialog::portAboveEightSelectsNothingAndOkKeepsIt()
{
    std::array<bool, 8> present{};
    present.fill(true);
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 10;
    dialog.show();
    for (QRadioButton* button : dialog.rbtnCom)
        QVERIFY(!button->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.iSelPort, 10);
}

void TestPortDialog::okTakesTheChoice()
{
    std::array<bool, 8> present{};
    present.fill(true);
    TDlgRsPortForm dialog(&present);
    dialog.iSelPort = 1;
    dialog.show();
    QTest::mouseClick(dialog.rbtnCom[5], Qt::LeftButton);
    QVERIFY(!dialog.rbtnCom[0]->isChecked());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.iSelPort, 6);
}

void TestPortDialog::cancelReopensTheSamePort()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QVERIFY(shell.main().serialLink().isOpen());
    bool wasClosedDuringDialog = false;
    QTimer::singleShot(0, this, [&] {
        wasClosedDuringDialog = !shell.main().serialLink().isOpen();
        shell.windows().DlgRsPortForm->reject();
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);
    QVERIFY(wasClosedDuringDialog);
    QCOMPARE(shell.main().iPort, 1);
    QVERIFY(shell.main().serialLink().isOpen());
    QCOMPARE(shell.windows().DigitalMeterForm->windowTitle(),
             QStringLiteral("Digital Meter : COM 1"));
    QVERIFY(shell.boxCaptions().isEmpty());
}

void TestPortDialog::eachPortShowsItsDevice()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("COM3")));
    ShellFixture shell(dir.path(), 1);
    TDlgRsPortForm* dialog = shell.windows().DlgRsPortForm.get();
    QTimer::singleShot(0, this, [&] {
        QCOMPARE(dialog->lblDevice[0]->toolTip(), QFileInfo(pty.slavePath()).canonicalFilePath());
        QCOMPARE(dialog->lblDevice[1]->text(), QStringLiteral("/dev/ttyS1"));
        QCOMPARE(dialog->lblDevice[2]->toolTip(), dir.filePath(QStringLiteral("COM3")));
        QCOMPARE(dialog->rbtnCom[7]->accessibleDescription(), QStringLiteral("/dev/ttyS7"));
        // Nothing overlaps: every device text lies right of its button, inside the panel.
        for (int i = 0; i < 8; ++i) {
            QVERIFY(dialog->lblDevice[i]->geometry().left() >=
                    dialog->rbtnCom[i]->geometry().right());
            QVERIFY(dialog->Panel1->rect().contains(dialog->lblDevice[i]->geometry()));
        }
        dialog->reject();
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);
}

void TestPortDialog::tileStacksTheMetersUnderTheStrip()
{
    QTemporaryDir dir;
    PtyPair pty;
    QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QWidget* digital = shell.windows().DigitalMeterForm.get();
    QWidget* analog = shell.windows().AnalogMeterForm.get();
    digital->move(500, 500);
    analog->move(600, 600);
    QTest::mouseClick(shell.main().sbtnWinTile, Qt::LeftButton);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const int strip = shell.main().frameGeometry().height();
    QCOMPARE(digital->frameGeometry().topLeft(), QPoint(0, strip));
    QCOMPARE(digital->frameGeometry().width(), screen.width() / 4);
    QCOMPARE(digital->frameGeometry().height(), (screen.height() - strip) / 4);
    QCOMPARE(analog->frameGeometry().topLeft(),
             QPoint(0, strip + digital->frameGeometry().height()));
    QCOMPARE(analog->frameGeometry().width(), screen.width() / 4);
}

void TestPortDialog::linkControlMakesThePortsLink_data()
{
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<int>("current"); // the port; when not 2, COM2 is checked by hand

    const int yes = QMessageBox::Yes;
    const int no = QMessageBox::No;
    const QStringList replaceLink{QStringLiteral("Warning[W8180]")};
    QTest::newRow("nothing there") << Entry::None << no << QStringList{} << true << 2;
    QTest::newRow("link elsewhere, kept") << Entry::LinkElsewhere << no << replaceLink << false << 2;
    QTest::newRow("link elsewhere, replaced")
        << Entry::LinkElsewhere << yes << replaceLink << true << 2;
    QTest::newRow("dangling link, replaced") << Entry::DanglingLink << yes << replaceLink << true << 2;
    QTest::newRow("dangling link, not the current port, replaced")
        << Entry::DanglingLink << yes << replaceLink << true << 1;
    QTest::newRow("regular file, kept")
        << Entry::RegularFile << no << QStringList{QStringLiteral("Warning[W8181]")} << false << 2;
    QTest::newRow("link to the same device, quietly renamed")
        << Entry::LinkToSameDevice << no << QStringList{} << true << 2;
    QTest::newRow("folder gone")
        << Entry::FolderGone << yes << QStringList{QStringLiteral("Error[E9188]")} << false << 2;
}

void TestPortDialog::linkControlMakesThePortsLink()
{
    QFETCH(Entry, entry);
    QFETCH(int, answer);
    QFETCH(QStringList, boxes);
    QFETCH(bool, linked);
    QFETCH(int, current);

    ScratchAdapter adapter;
    PtyPair otherDevice;
    QTemporaryDir dir;
    const QString com2 = dir.filePath(QStringLiteral("COM2"));
    if (entry == Entry::LinkElsewhere)
        QFile::link(otherDevice.slavePath(), com2);
    if (entry == Entry::DanglingLink)
        QFile::link(dir.filePath(QStringLiteral("unplugged")), com2);
    if (entry == Entry::LinkToSameDevice)
        QFile::link(adapter.pty.slavePath(), com2);
    if (entry == Entry::RegularFile) {
        QFile file(com2);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString before = QFileInfo(com2).symLinkTarget();
    // A user's file with the name a link in the making once had.
    QFile user(com2 + QStringLiteral(".new-link-%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(user.open(QIODevice::WriteOnly) && user.write("mine") == 4);
    user.close();

    ShellFixture shell(dir.path(), 2);
    shell.main().serialLink().closeHandle();
    shell.answerBoxesWith(answer);
    const qsizetype startupBoxes = shell.boxCaptions().size();
    TDlgRsPortForm* dialog = shell.windows().DlgRsPortForm.get();
    dialog->iSelPort = current;
    dialog->setStartupDirectory(entry == Entry::FolderGone ? dir.filePath(QStringLiteral("gone"))
                                                           : dir.path());
    dialog->show();
    if (current != 2) {
        QTest::mouseClick(dialog->rbtnCom[1], Qt::LeftButton, {}, QPoint(4, 10));
        QVERIFY(!dialog->bbtnOk->isEnabled()); // COM2 is there only to be linked again
    }
    QCOMPARE(dialog->cbxAdapter->currentData().toString(), adapter.stableName);
    QCOMPARE(dialog->bbtnLink->text().remove(QLatin1Char('&')), QStringLiteral("Link as COM2"));
    QSignalSpy linkedSpy(dialog, &TDlgRsPortForm::portLinked);
    QTest::mouseClick(dialog->bbtnLink, Qt::LeftButton);
    // The click's work is queued; it ends with a link made or a box shown.
    QTRY_VERIFY(!linkedSpy.isEmpty() || shell.boxCaptions().size() > startupBoxes);
    dialog->reject();

    QCOMPARE(shell.boxCaptions().mid(startupBoxes), boxes);
    if (linked) {
        QCOMPARE(QFileInfo(com2).symLinkTarget(), adapter.stableName);
        QVERIFY(dialog->rbtnCom[1]->isEnabled());
        QVERIFY(dialog->rbtnCom[1]->isChecked());
        QVERIFY(dialog->bbtnOk->isEnabled());
        QCOMPARE(dialog->lblDevice[1]->toolTip(), adapter.pty.slavePath());
    } else {
        QCOMPARE(QFileInfo(com2).symLinkTarget(), before);
    }
    if (entry == Entry::FolderGone)
        QVERIFY2(shell.boxes().last().detail.endsWith(QStringLiteral("No such file or directory")),
                 qPrintable(shell.boxes().last().detail));
    // The user's file is as it was, and no link in the making is left behind.
    QVERIFY(user.open(QIODevice::ReadOnly) && user.readAll() == "mine");
    QCOMPARE(QDir(dir.path()).entryList({"COM2.*"}, QDir::AllEntries | QDir::System).size(), 1);
}

void TestPortDialog::linkedPortOpensOnOkAndTheChoiceIsKept()
{
    // A new user's first start: COM2 from the fallback settings, nothing linked.
    ScratchAdapter adapter;
    QTemporaryDir dir;
    ShellFixture shell(dir.path(), 0);
    QCOMPARE(shell.boxCaptions(),
             (QStringList{QStringLiteral("Error[E9001]"), QStringLiteral("Warning[W8001]")}));
    TDlgRsPortForm* dialog = shell.windows().DlgRsPortForm.get();
    QTimer::singleShot(0, this, [dialog] {
        dialog->bbtnLink->click();
        // Posted after the link's own queued work, so OK comes once the link is made.
        QMetaObject::invokeMethod(dialog->bbtnOk, &QPushButton::click, Qt::QueuedConnection);
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);

    QCOMPARE(shell.boxCaptions().size(), 2);
    QVERIFY(shell.main().serialLink().isOpen());
    QCOMPARE(shell.main().serialLink().devicePath(), adapter.pty.slavePath());
    QCOMPARE(readSettingsFile(settingsFilePath(dir.path())).iPort, 2);
}

void TestPortDialog::portChoiceIsWrittenWhenMade()
{
    QTemporaryDir dir;
    PtyPair com1;
    PtyPair com3;
    QFile::link(com1.slavePath(), dir.filePath(QStringLiteral("COM1")));
    QFile::link(com3.slavePath(), dir.filePath(QStringLiteral("COM3")));
    ShellFixture shell(dir.path(), 1);
    TDlgRsPortForm* dialog = shell.windows().DlgRsPortForm.get();
    QTimer::singleShot(0, this, [dialog] {
        dialog->rbtnCom[2]->click();
        dialog->bbtnOk->click();
    });
    QTest::mouseClick(shell.main().sbtnPort, Qt::LeftButton);
    QVERIFY(shell.main().serialLink().isOpen());
    // Before the program ends: a crash from here on keeps the choice.
    QCOMPARE(readSettingsFile(settingsFilePath(dir.path())).iPort, 3);
}

QTEST_MAIN(TestPortDialog)
#include "tst_portdialog.moc"
