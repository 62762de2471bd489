// SPDX-License-Identifier: MIT
// The limit dialog: which texts become pending limits, which are reported,
// when OK is refused, and how a repaint normalises the edits.
#include <QtTest>

#include "ComparatorLogic.h"
#include "DlgHiLowForm.h"
#include "MessageBox.h"
#include "NumberText.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <vector>

using namespace dmm;

class TestLimitDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void classify_data();
    void classify();

    void looksAsDescribed();
    void wideEnoughForItsCaption();
    void ascendingPairIsAccepted();
    void equalPairIsRefusedWithE9008();
    void cancelCloses();
    void emptyTextKeepsTheLimit();
    void nonNumberIsReportedAndLastGoodValueStays();
    void beginningOfANumberIsNotReported_data();
    void beginningOfANumberIsNotReported();
    void repaintNormalisesTheEdits();
    void typingIsNotNormalisedUnderTheUser();
    void staticTextsFollowTheFunction();
    void commaSeparatorBeforeTheFirstFrame();
    void notifyBoxTogglesByItsActionAsByAClick();

private:
    void prepare(TDlgHiLowForm& dialog, double hi, double low, int function = 5,
                 const QString& prefix = {}, const QString& unit = QStringLiteral("V"));
    std::vector<MessageBoxRequest> m_boxes;
};

void TestLimitDialog::init()
{
    m_boxes.clear();
    setDecimalSeparator('.');
    setMessageBoxHandler([this](const MessageBoxRequest& request) {
        m_boxes.push_back(request);
        return int(QMessageBox::Ok);
    });
}

void TestLimitDialog::cleanup()
{
    setMessageBoxHandler({});
    setDecimalSeparator('.');
}

void TestLimitDialog::classify_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<char>("separator");
    QTest::addColumn<int>("kind");
    const int number = int(LimitTextKind::Number);
    const int empty = int(LimitTextKind::Empty);
    const int incomplete = int(LimitTextKind::Incomplete);
    const int invalid = int(LimitTextKind::Invalid);
    QTest::newRow("empty") << "" << '.' << empty;
    QTest::newRow("1.5") << "1.5" << '.' << number;
    QTest::newRow("trailing point") << "1." << '.' << number;
    QTest::newRow("exponent") << "-2.5E-3" << '.' << number;
    QTest::newRow("minus") << "-" << '.' << incomplete;
    QTest::newRow("plus") << "+" << '.' << incomplete;
    QTest::newRow("point") << "." << '.' << incomplete;
    QTest::newRow("minus point") << "-." << '.' << incomplete;
    QTest::newRow("1e") << "1e" << '.' << incomplete;
    QTest::newRow("1e-") << "1e-" << '.' << incomplete;
    QTest::newRow("1.5E+") << "1.5E+" << '.' << incomplete;
    QTest::newRow("abc") << "abc" << '.' << invalid;
    QTest::newRow("1.5x") << "1.5x" << '.' << invalid;
    QTest::newRow("e5: no mantissa") << "e5" << '.' << invalid;
    QTest::newRow("two points") << "1..2" << '.' << invalid;
    QTest::newRow("comma while the separator is a point") << "1,5" << '.' << invalid;
    QTest::newRow("comma while the separator is a comma") << "1,5" << ',' << number;
    QTest::newRow("1, with a comma separator") << "1," << ',' << number;
    QTest::newRow("lone comma separator") << "," << ',' << incomplete;
    QTest::newRow("spaces") << "  " << '.' << incomplete;
}

void TestLimitDialog::classify()
{
    QFETCH(QString, text);
    QFETCH(char, separator);
    // Also as the start of a longer text: only the text itself is read.
    const std::string alone = text.toStdString();
    for (const char* after : {"", "-", "5"}) {
        const std::string longer = alone + after;
        const std::string_view view = std::string_view(longer).substr(0, alone.size());
        QTEST(int(classifyLimitText(view, separator).kind), "kind");
    }
}

void TestLimitDialog::prepare(TDlgHiLowForm& dialog, double hi, double low, int function,
                              const QString& prefix, const QString& unit)
{
    dialog.pendingHi = hi;
    dialog.pendingLow = low;
    dialog.iFunction = function;
    dialog.prefix = prefix;
    dialog.unit = unit;
    dialog.open();
    QVERIFY(dialog.isVisible());
}

void TestLimitDialog::looksAsDescribed()
{
    TDlgHiLowForm dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Comparator Hi-Low limit setting"));
    QCOMPARE(dialog.Label1->text(), QStringLiteral("Upper-Limit : "));
    QCOMPARE(dialog.Label2->text(), QStringLiteral("Lower-Limit : "));
    QVERIFY(dialog.Label1->font().italic());
    QCOMPARE(dialog.Label1->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(dialog.Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(dialog.bbtnOk->isDefault());
    prepare(dialog, 3, 1);
    QCOMPARE(dialog.mkeHiLimit->text(), QStringLiteral("3"));
    QCOMPARE(dialog.mkeLowLimit->text(), QStringLiteral("1"));
}

void TestLimitDialog::wideEnoughForItsCaption()
{
    // Title bars draw the caption in bold, beside the window's icon and buttons.
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int caption = QFontMetrics(bold).horizontalAdvance(dialog.windowTitle());
    // The icon and up to three buttons of a caption's height, with some padding.
    QVERIFY2(dialog.width() >= caption + 100,
             qPrintable(QStringLiteral("%1 for %2").arg(dialog.width()).arg(caption)));
    dialog.reject();
}

void TestLimitDialog::ascendingPairIsAccepted()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    dialog.mkeHiLimit->setText(QStringLiteral("10"));
    dialog.mkeLowLimit->setText(QStringLiteral("9.5"));
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.pendingHi, 10.0);
    QCOMPARE(dialog.pendingLow, 9.5);
    QVERIFY(m_boxes.empty());
}

void TestLimitDialog::equalPairIsRefusedWithE9008()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    dialog.mkeLowLimit->setText(QStringLiteral("3"));
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_boxes.size(), std::size_t(1));
    QCOMPARE(m_boxes.front().caption, QStringLiteral("Error[E9008]"));
    QCOMPARE(m_boxes.front().text, QStringLiteral("Limit setting is unacceptable."));
    QCOMPARE(m_boxes.front().icon, QMessageBox::Critical);

    dialog.mkeLowLimit->setText(QStringLiteral("4")); // upside down: refused as well
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_boxes.size(), std::size_t(2));

    dialog.mkeLowLimit->setText(QStringLiteral("2.999"));
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestLimitDialog::cancelCloses()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    QTest::mouseClick(dialog.bbtnCancel, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestLimitDialog::emptyTextKeepsTheLimit()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    dialog.mkeHiLimit->setText(QStringLiteral("7"));
    dialog.mkeHiLimit->clear();
    QCOMPARE(dialog.pendingHi, 7.0);
    QVERIFY(m_boxes.empty());
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.pendingHi, 7.0);
}

void TestLimitDialog::nonNumberIsReportedAndLastGoodValueStays()
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("DMM Logger"));
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    dialog.mkeLowLimit->setText(QStringLiteral("2.5"));
    dialog.mkeLowLimit->setText(QStringLiteral("abc"));
    QCOMPARE(dialog.pendingLow, 2.5);
    QCOMPARE(m_boxes.size(), std::size_t(1));
    QCOMPARE(m_boxes.front().caption, QStringLiteral("DMM Logger"));
    QCOMPARE(m_boxes.front().text, QStringLiteral("'abc' is not a valid floating point value."));
    QCOMPARE(m_boxes.front().icon, QMessageBox::Critical);
    QTest::mouseClick(dialog.bbtnOk, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.pendingLow, 2.5);
}

void TestLimitDialog::beginningOfANumberIsNotReported_data()
{
    QTest::addColumn<QStringList>("keystrokes");
    QTest::addColumn<double>("limit");
    QTest::newRow("-2") << QStringList{"-", "-2"} << -2.0;
    QTest::newRow(".5") << QStringList{".", ".5"} << 0.5;
    QTest::newRow("1e-3") << QStringList{"1", "1e", "1e-", "1e-3"} << 0.001;
    QTest::newRow("+4") << QStringList{"+", "+4"} << 4.0;
}

void TestLimitDialog::beginningOfANumberIsNotReported()
{
    QFETCH(QStringList, keystrokes);
    TDlgHiLowForm dialog;
    prepare(dialog, 30, 1);
    for (const QString& text : keystrokes)
        dialog.mkeLowLimit->setText(text);
    QVERIFY(m_boxes.empty());
    QTEST(dialog.pendingLow, "limit");
}

void TestLimitDialog::repaintNormalisesTheEdits()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    dialog.mkeHiLimit->setText(QStringLiteral("1.50"));
    dialog.mkeLowLimit->setText(QStringLiteral("-0.10"));
    QCOMPARE(dialog.pendingHi, 1.5);
    dialog.update();
    QTRY_COMPARE(dialog.mkeHiLimit->text(), QStringLiteral("1.5"));
    QTRY_COMPARE(dialog.mkeLowLimit->text(), QStringLiteral("-0.1"));

    dialog.mkeLowLimit->setText(
        QStringLiteral("xyz")); // reported; the repaint restores the last value
    dialog.update();
    QTRY_COMPARE(dialog.mkeLowLimit->text(), QStringLiteral("-0.1"));
}

void TestLimitDialog::typingIsNotNormalisedUnderTheUser()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(!dialog.normalisationPending()); // the first paint's own normalisation is done
    QCOMPARE(dialog.mkeHiLimit->text(), QStringLiteral("3"));
    dialog.mkeHiLimit->setFocus();
    dialog.mkeHiLimit->selectAll();
    QTest::keyClicks(dialog.mkeHiLimit, QStringLiteral("1.0"));
    dialog.mkeHiLimit->repaint();
    QCoreApplication::processEvents();
    QVERIFY(!dialog.normalisationPending());
    QCOMPARE(dialog.mkeHiLimit->text(), QStringLiteral("1.0"));
    QTest::keyClicks(dialog.mkeHiLimit, QStringLiteral("5"));
    QCOMPARE(dialog.mkeHiLimit->text(), QStringLiteral("1.05"));
    QCOMPARE(dialog.pendingHi, 1.05);
}

void TestLimitDialog::staticTextsFollowTheFunction()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1, 128, QStringLiteral("K"), QStringLiteral("W"));
    QCOMPARE(dialog.stxtHiFunc->text(), QString(QChar(0x03A9)));
    QCOMPARE(dialog.stxtLowFunc->text(), QString(QChar(0x03A9)));
    QCOMPARE(dialog.stxtHiUnit->text(), QStringLiteral("K"));
    QCOMPARE(dialog.stxtLowUnit->alignment(), Qt::Alignment(Qt::AlignCenter));
    dialog.reject();

    prepare(dialog, 3, 1, 32, QString(), QStringLiteral("C"));
    QCOMPARE(dialog.stxtHiFunc->text(), QStringLiteral("C"));
    QCOMPARE(dialog.stxtHiFunc->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(dialog.stxtHiUnit->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

void TestLimitDialog::commaSeparatorBeforeTheFirstFrame()
{
    setDecimalSeparator(',');
    TDlgHiLowForm dialog;
    prepare(dialog, 2.5, 1);
    QCOMPARE(dialog.mkeHiLimit->text(), QStringLiteral("2,5"));
    dialog.mkeLowLimit->setText(QStringLiteral("1,25"));
    QCOMPARE(dialog.pendingLow, 1.25);
    QVERIFY(m_boxes.empty());
}

void TestLimitDialog::notifyBoxTogglesByItsActionAsByAClick()
{
    TDlgHiLowForm dialog;
    prepare(dialog, 3, 1);
    QCOMPARE(dialog.cbNotify->text(), QStringLiteral("Notify the desktop"));
    QVERIFY(!dialog.cbNotify->isChecked());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(dialog.cbNotify);
    QVERIFY(accessible && accessible->actionInterface());
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Notify the desktop"));
    const QStringList actions = accessible->actionInterface()->actionNames();
    QVERIFY(!actions.isEmpty());
    accessible->actionInterface()->doAction(actions.first());
    QVERIFY(dialog.cbNotify->isChecked());
    QTest::mouseClick(dialog.cbNotify, Qt::LeftButton);
    QVERIFY(!dialog.cbNotify->isChecked());
    accessible->actionInterface()->doAction(actions.first());
    QVERIFY(dialog.cbNotify->isChecked());
    dialog.reject();
}

QTEST_MAIN(TestLimitDialog)
#include "tst_limitdialog.moc"
