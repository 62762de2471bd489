// SPDX-License-Identifier: MIT
// The export dialog: what each choice enables, the picture size in its units,
// the file name shown, and what the caller reads back.
#include <QtTest>

#include "DlgExportForm.h"
#include "ExportChoice.h"
#include "MessageBox.h"
#include "NumberText.h"

#include <QAccessible>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>

using namespace dmm;

namespace {

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// The enabled page scopes as "APT" letters (All, Page, This), '-' for disabled.
QString scopes(const TDlgExportForm& d)
{
    return QString() + (d.rbtnPageAll->isEnabled() ? 'A' : '-') +
           (d.rbtnThisPage->isEnabled() ? 'T' : '-') + (d.rbtnPage->isEnabled() ? 'P' : '-');
}

QString destinations(const TDlgExportForm& d)
{
    return QString() + (d.rbtnClipBoard->isEnabled() ? 'C' : '-') +
           (d.rbtnFile->isEnabled() ? 'F' : '-') + (d.rbtnPrinter->isEnabled() ? 'P' : '-');
}

QString units(const TDlgExportForm& d)
{
    return QString() + (d.rbtnPixels->isEnabled() ? 'X' : '-') +
           (d.rbtnMillimeters->isEnabled() ? 'M' : '-') + (d.rbtnInches->isEnabled() ? 'I' : '-') +
           (d.rbtnPoints->isEnabled() ? 'P' : '-');
}

} // namespace

class TestExportDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void captions();
    void textType();
    void bitmapType();
    void metafileType();
    void unitRoundTrips();
    void typedSizes_data();
    void typedSizes();
    void notANumberKeepsTheSize();
    void fileDestination();
    void printerDestination();
    void pageScopeEdits();
    void backToTextAfterPictureFile();
    void typeAgainRefreshesTheSizes();
    void recheckingRunsNothing();
    void viewerPreparation();
    void fileNameShortening_data();
    void fileNameShortening();
    void fileNameShortenedOnlyWhenItDoesNotFit_data();
    void fileNameShortenedOnlyWhenItDoesNotFit();
    void saveDialogPerType();
    void browseTakesTheChosenName();
    void choiceReadsBack();
    void accessibleNames();
    void centredWithFixedSize();

    void sizesTheActionTakes_data();
    void sizesTheActionTakes();

private:
    QList<MessageBoxRequest> m_boxes;
};

void TestExportDialog::init()
{
    setDecimalSeparator('.');
    m_boxes.clear();
    setMessageBoxHandler([this](const MessageBoxRequest& request) {
        m_boxes.append(request);
        return int(QMessageBox::Ok);
    });
}

void TestExportDialog::cleanup()
{
    setMessageBoxHandler({});
}

void TestExportDialog::captions()
{
    TDlgExportForm d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Exporting Data Logger"));
    QCOMPARE(d.gbExportType->title(), QStringLiteral("Export"));
    QCOMPARE(d.rbtnMetaFile->text(), QStringLiteral("MetaFile"));
    QCOMPARE(d.rbtnBitMap->text(), QStringLiteral("BitMap"));
    QCOMPARE(d.rbtnText->text(), QStringLiteral("Text/Data Only"));
    QCOMPARE(d.gbExportDestination->title(), QStringLiteral("Export Destination"));
    QCOMPARE(d.rbtnClipBoard->text(), QStringLiteral("ClipBoard"));
    QCOMPARE(d.rbtnFile->text(), QStringLiteral("File"));
    QCOMPARE(d.btnBrowse->text(), QStringLiteral("Browse"));
    QCOMPARE(d.rbtnPrinter->text(), QStringLiteral("Printer"));
    QCOMPARE(d.gbPageScope->title(), QStringLiteral("Page Scope"));
    QCOMPARE(d.rbtnPageAll->text(), QStringLiteral("All Pages"));
    QCOMPARE(d.rbtnThisPage->text(), QStringLiteral("This Page"));
    QCOMPARE(d.rbtnPage->text(), QStringLiteral("Page"));
    QCOMPARE(d.lblFrom->text(), QStringLiteral("From"));
    QCOMPARE(d.lblTo->text(), QStringLiteral("To"));
    QCOMPARE(d.gbObjectSize->title(), QStringLiteral("Object Size"));
    QCOMPARE(d.rbtnPixels->text(), QStringLiteral("No Specific Size"));
    QCOMPARE(d.rbtnMillimeters->text(), QStringLiteral("Millimeters"));
    QCOMPARE(d.rbtnInches->text(), QStringLiteral("Inches"));
    QCOMPARE(d.rbtnPoints->text(), QStringLiteral("Points"));
    QCOMPARE(d.lblWidth->text(), QStringLiteral("Width"));
    QCOMPARE(d.lblSlash->text(), QStringLiteral("/"));
    QCOMPARE(d.lblUnit->text(), QStringLiteral("Units"));
    QCOMPARE(d.btnExport->text(), QStringLiteral("Export"));
    QCOMPARE(d.btnCancel->text(), QStringLiteral("Cancel"));
    QVERIFY(d.fileName().isEmpty());
    QVERIFY(d.stxFileName->text().isEmpty());
    QCOMPARE(TDlgFitExportForm().role(), ExportDialogRole::Viewer);
}

void TestExportDialog::textType()
{
    TDlgExportForm d;
    d.rbtnBitMap->setChecked(true);
    d.prepareRecorderExport(3);
    QVERIFY(d.rbtnText->isChecked());
    QCOMPARE(destinations(d), QStringLiteral("-F-"));
    QVERIFY(d.rbtnFile->isChecked());
    QVERIFY(d.btnBrowse->isEnabled());
    QVERIFY(d.gbObjectSize->isHidden());
    QCOMPARE(scopes(d), QStringLiteral("ATP"));
    QVERIFY(d.rbtnThisPage->isChecked());
    QVERIFY(!d.editPageFrom->isEnabled());
    QVERIFY(!d.editPageTo->isEnabled());
    QCOMPARE(d.editPageFrom->text(), QStringLiteral("1"));
    QCOMPARE(d.editPageTo->text(), QStringLiteral("3"));
    QVERIFY(!d.printerScopeLock);
}

void TestExportDialog::bitmapType()
{
    TDlgExportForm d;
    d.prepareRecorderExport(1);
    d.rbtnBitMap->setChecked(true);
    QCOMPARE(destinations(d), QStringLiteral("CFP"));
    QVERIFY(d.rbtnClipBoard->isChecked());
    QVERIFY(!d.btnBrowse->isEnabled());
    QCOMPARE(scopes(d), QStringLiteral("-T-"));
    QVERIFY(d.rbtnThisPage->isChecked());
    QCOMPARE(d.rbtnPixels->text(), QStringLiteral("Pixels"));
    QCOMPARE(d.lblUnit->text(), QStringLiteral("Pixels"));
    QCOMPARE(units(d), QStringLiteral("X---"));
    QVERIFY(d.rbtnPixels->isChecked());
    QCOMPARE(d.editWidth->text(), QStringLiteral("1000"));
    QCOMPARE(d.editHigh->text(), QStringLiteral("681"));
    QCOMPARE(d.pictureWidth(), 1000.0);
    QCOMPARE(d.pictureHeight(), 681.0);
    QVERIFY(!d.gbObjectSize->isHidden());
    const ExportChoice c = d.choice();
    QCOMPARE(c.type, ExportType::BitMap);
    QCOMPARE(c.actionWidth(), 1000);
    QCOMPARE(c.actionHeight(), 681);
}

void TestExportDialog::metafileType()
{
    TDlgExportForm d;
    d.rbtnMetaFile->setChecked(true);
    QCOMPARE(destinations(d), QStringLiteral("CFP"));
    QVERIFY(d.rbtnClipBoard->isChecked());
    QCOMPARE(scopes(d), QStringLiteral("-T-"));
    QCOMPARE(d.rbtnPixels->text(), QStringLiteral("Pixels"));
    QCOMPARE(d.lblUnit->text(), QStringLiteral("Units"));
    QCOMPARE(units(d), QStringLiteral("-MIP"));
    QVERIFY(d.rbtnMillimeters->isChecked());
    QCOMPARE(d.editWidth->text(), QStringLiteral("100"));
    QCOMPARE(d.editHigh->text(), QStringLiteral("68.1"));
    // 68.1 mm typed back is 6810 hundredths exactly, not 6809.999999999999.
    QCOMPARE(d.pictureWidth(), 10000.0);
    QCOMPARE(d.pictureHeight(), 6810.0);
    QCOMPARE(d.choice().actionWidth(), 10000);
    QCOMPARE(d.choice().actionHeight(), 6810);
    QVERIFY(!d.gbObjectSize->isHidden());
}

void TestExportDialog::unitRoundTrips()
{
    TDlgExportForm d;
    d.rbtnMetaFile->setChecked(true);
    d.rbtnInches->setChecked(true);
    QCOMPARE(d.editWidth->text(), QStringLiteral("3.93700787401575"));
    QCOMPARE(d.editHigh->text(), QStringLiteral("2.68110236220472"));
    QCOMPARE(d.pictureWidth(), 10000.000000000005);
    QCOMPARE(d.pictureHeight(), 6809.9999999999888);
    QVERIFY(d.pictureWidth() != 10000.0);
    QCOMPARE(d.choice().actionWidth(), 10000);
    QCOMPARE(d.choice().actionHeight(), 6809);

    // Points show the hundredths as they now are, in 15 digits.
    d.rbtnPoints->setChecked(true);
    QCOMPARE(d.editWidth->text(), QStringLiteral("10000"));
    QCOMPARE(d.editHigh->text(), QStringLiteral("6809.99999999999"));
    QCOMPARE(d.choice().actionHeight(), 6809);
    // Each unit change rounds to 15 digits and back: the drift stays.
    d.rbtnMillimeters->setChecked(true);
    QCOMPARE(d.editWidth->text(), QStringLiteral("100"));
    QCOMPARE(d.editHigh->text(), QStringLiteral("68.0999999999999"));
    QCOMPARE(d.choice().actionHeight(), 6809);

    // Straight from the default to Points: the hundredths unchanged.
    TDlgExportForm e;
    e.rbtnMetaFile->setChecked(true);
    e.rbtnPoints->setChecked(true);
    QCOMPARE(e.editWidth->text(), QStringLiteral("10000"));
    QCOMPARE(e.editHigh->text(), QStringLiteral("6810"));
}

void TestExportDialog::typedSizes_data()
{
    QTest::addColumn<bool>("bitmap");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("pixels") << true << int(SizeUnit::Pixels) << "640" << 640.0;
    QTest::newRow("pixels, fraction kept") << true << int(SizeUnit::Pixels) << "640.75" << 640.75;
    QTest::newRow("millimetres") << false << int(SizeUnit::Millimeters) << "50" << 5000.0;
    QTest::newRow("millimetres 0.01") << false << int(SizeUnit::Millimeters) << "0.01" << 1.0;
    QTest::newRow("inches") << false << int(SizeUnit::Inches) << "1" << 2540.0;
    QTest::newRow("inches with exponent") << false << int(SizeUnit::Inches) << "1E1" << 25400.0;
    QTest::newRow("points") << false << int(SizeUnit::Points) << "1234.5" << 1234.5;
}

void TestExportDialog::typedSizes()
{
    QFETCH(bool, bitmap);
    QFETCH(int, unit);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    TDlgExportForm d;
    (bitmap ? d.rbtnBitMap : d.rbtnMetaFile)->setChecked(true);
    QRadioButton* const buttons[] = {d.rbtnPixels, d.rbtnMillimeters, d.rbtnInches, d.rbtnPoints};
    buttons[unit]->setChecked(true);
    d.editWidth->selectAll();
    QTest::keyClicks(d.editWidth, typed);
    QCOMPARE(d.editWidth->text(), typed);
    QCOMPARE(d.pictureWidth(), stored);
    QVERIFY(m_boxes.isEmpty());
}

void TestExportDialog::notANumberKeepsTheSize()
{
    TDlgExportForm d;
    d.rbtnBitMap->setChecked(true);
    d.editWidth->setText(QStringLiteral("800"));
    QCOMPARE(d.pictureWidth(), 800.0);
    d.editWidth->setText(QStringLiteral("80x"));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, QStringLiteral("'80x' is not a valid floating point value."));
    QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(d.pictureWidth(), 800.0);
    // Emptied, or half typed: no report, the size stays.
    d.editHigh->setText(QString());
    d.editHigh->setText(QStringLiteral("1e"));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(d.pictureHeight(), 681.0);
}

void TestExportDialog::fileDestination()
{
    TDlgExportForm d;
    d.rbtnBitMap->setChecked(true);
    d.setFileName(QStringLiteral("/tmp/old.bmp"));
    d.rbtnFile->setChecked(true);
    QVERIFY(d.fileName().isEmpty());
    QVERIFY(d.stxFileName->text().isEmpty());
    QVERIFY(d.btnBrowse->isEnabled());
    QCOMPARE(scopes(d), QStringLiteral("-T-"));
    QVERIFY(d.rbtnThisPage->isChecked());

    d.setFileName(QStringLiteral("/tmp/chosen.bmp"));
    d.rbtnClipBoard->setChecked(true);
    QVERIFY(d.fileName().isEmpty());
    QVERIFY(!d.btnBrowse->isEnabled());
}

void TestExportDialog::printerDestination()
{
    // The recorder: the printer offers every scope and keeps the checked one.
    TDlgExportForm recorder;
    recorder.prepareRecorderExport(4);
    recorder.rbtnBitMap->setChecked(true);
    recorder.setFileName(QStringLiteral("/tmp/kept.bmp"));
    recorder.rbtnPrinter->setChecked(true);
    QCOMPARE(scopes(recorder), QStringLiteral("ATP"));
    QVERIFY(recorder.rbtnThisPage->isChecked());
    QVERIFY(!recorder.btnBrowse->isEnabled());
    QCOMPARE(recorder.fileName(), QStringLiteral("/tmp/kept.bmp"));
    recorder.rbtnPage->setChecked(true);
    QVERIFY(recorder.editPageFrom->isEnabled());

    TDlgExportForm locked;
    locked.printerScopeLock = true;
    locked.rbtnMetaFile->setChecked(true);
    locked.rbtnPrinter->setChecked(true);
    QCOMPARE(scopes(locked), QStringLiteral("---"));

    // The viewer: one chart, This Page only, whatever the lock says.
    TDlgFitExportForm viewer;
    viewer.prepareViewerExport();
    viewer.printerScopeLock = false;
    viewer.rbtnPrinter->setChecked(true);
    QCOMPARE(scopes(viewer), QStringLiteral("-T-"));
    QVERIFY(viewer.rbtnThisPage->isChecked());
}

void TestExportDialog::pageScopeEdits()
{
    TDlgExportForm d;
    d.prepareRecorderExport(5);
    d.rbtnPage->setChecked(true);
    QVERIFY(d.lblFrom->isEnabled());
    QVERIFY(d.lblTo->isEnabled());
    QVERIFY(d.editPageFrom->isEnabled());
    QVERIFY(d.editPageTo->isEnabled());
    d.rbtnPageAll->setChecked(true);
    QVERIFY(!d.lblFrom->isEnabled());
    QVERIFY(!d.editPageTo->isEnabled());
    d.rbtnPage->setChecked(true);
    d.rbtnThisPage->setChecked(true);
    QVERIFY(!d.editPageFrom->isEnabled());
}

void TestExportDialog::backToTextAfterPictureFile()
{
    // File stays checked across the type change; the text type still gets all
    // its page scopes and a fresh file name.
    TDlgExportForm d;
    d.rbtnBitMap->setChecked(true);
    d.rbtnFile->setChecked(true);
    d.setFileName(QStringLiteral("/tmp/picture.bmp"));
    QCOMPARE(scopes(d), QStringLiteral("-T-"));
    d.rbtnText->setChecked(true);
    QVERIFY(d.rbtnFile->isChecked());
    QCOMPARE(scopes(d), QStringLiteral("ATP"));
    QVERIFY(d.fileName().isEmpty());
}

void TestExportDialog::typeAgainRefreshesTheSizes()
{
    // Millimetres stay checked from the last metafile; choosing the metafile
    // again shows its default size, not what was typed before.
    TDlgExportForm d;
    d.rbtnMetaFile->setChecked(true);
    d.editWidth->setText(QStringLiteral("50"));
    QCOMPARE(d.pictureWidth(), 5000.0);
    d.rbtnText->setChecked(true);
    d.rbtnMetaFile->setChecked(true);
    QVERIFY(d.rbtnMillimeters->isChecked());
    QCOMPARE(d.editWidth->text(), QStringLiteral("100"));
    QCOMPARE(d.pictureWidth(), 10000.0);

    d.rbtnBitMap->setChecked(true);
    d.editWidth->setText(QStringLiteral("320"));
    d.rbtnText->setChecked(true);
    d.rbtnBitMap->setChecked(true);
    QCOMPARE(d.editWidth->text(), QStringLiteral("1000"));
    QCOMPARE(d.pictureWidth(), 1000.0);
}

void TestExportDialog::recheckingRunsNothing()
{
    TDlgExportForm d;
    d.rbtnBitMap->setChecked(true);
    d.rbtnFile->setChecked(true);
    d.setFileName(QStringLiteral("/tmp/a.bmp"));
    d.rbtnBitMap->setChecked(true); // already checked: nothing changes
    QVERIFY(d.rbtnFile->isChecked());
    QCOMPARE(d.fileName(), QStringLiteral("/tmp/a.bmp"));
    QTest::mouseClick(d.rbtnBitMap, Qt::LeftButton);
    QVERIFY(d.rbtnFile->isChecked());
    QCOMPARE(d.fileName(), QStringLiteral("/tmp/a.bmp"));
}

void TestExportDialog::viewerPreparation()
{
    TDlgFitExportForm d;
    d.prepareViewerExport();
    QVERIFY(d.rbtnText->isHidden());
    QVERIFY(!d.rbtnText->isEnabled());
    QVERIFY(d.rbtnMetaFile->isChecked());
    QVERIFY(d.rbtnClipBoard->isChecked());
    QVERIFY(d.rbtnThisPage->isChecked());
    QCOMPARE(d.editPageFrom->text(), QStringLiteral("1"));
    QCOMPARE(d.editPageTo->text(), QStringLiteral("1"));
    QVERIFY(d.printerScopeLock);
    const ExportChoice c = d.choice();
    QCOMPARE(c.type, ExportType::MetaFile);
    QCOMPARE(c.destination, ExportDestination::ClipBoard);
    QCOMPARE(c.actionWidth(), 10000);
    QCOMPARE(c.actionHeight(), 6810);

    // A second use after a bitmap to a file: the metafile again, clipboard.
    d.rbtnBitMap->setChecked(true);
    d.rbtnFile->setChecked(true);
    d.prepareViewerExport();
    QVERIFY(d.rbtnClipBoard->isChecked());
    QCOMPARE(d.choice().actionWidth(), 10000);
}

void TestExportDialog::fileNameShortening_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("30 whole") << "/home/user/logs/run-2024-01.g5"
                              << "/home/user/logs/run-2024-01.g5";
    QTest::newRow("31 shortened") << "/home/user/logs/run-2024-01.csv"
                                  << "/ho...ser/logs/run-2024-01.csv";
    QTest::newRow("40 characters") << "/home/someone/myexports/pages-1-to-3.csv"
                                   << "/ho...exports/pages-1-to-3.csv";
    QTest::newRow("not cut inside a character")
        << QString::fromUtf8("/m\xF0\x9F\x93\x88/aaaaaaaaaaaaaaaaaaaaaaaaaaaaa.csv")
        << QString::fromUtf8("/m\xF0\x9F\x93\x88...aaaaaaaaaaaaaaaaaaaa.csv");
}

void TestExportDialog::fileNameShortening()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(shortenFileName(name), shown);
    if (name.toUcs4().size() > 30)
        QCOMPARE(shown.toUcs4().size(), 30);
}

void TestExportDialog::fileNameShortenedOnlyWhenItDoesNotFit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("whole");
    QTest::newRow("short") << "/tmp/a.csv" << true;
    QTest::newRow("a usual path of 40 characters")
        << "/tmp/dmm-check/DMM Logger/bench-run1.csv" << true;
    QTest::newRow("a deep path") << QStringLiteral("/home/user/") + QString(30, QLatin1Char('d')) +
                                        QStringLiteral("/Documents/DMM Logger/bench-run1.csv")
                                 << false;
}

void TestExportDialog::fileNameShortenedOnlyWhenItDoesNotFit()
{
    QFETCH(QString, name);
    QFETCH(bool, whole);
    TDlgExportForm d;
    d.prepareRecorderExport(1);
    d.setFileName(name);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const QString shown = d.stxFileName->text();
    if (whole) {
        QCOMPARE(shown, name);
    } else {
        QVERIFY2(shown.startsWith(name.left(3) + QStringLiteral("...")), qPrintable(shown));
        QVERIFY(name.endsWith(shown.mid(6)));
        QVERIFY(shown.size() > 30); // as much of the end as the field holds
        QVERIFY(d.stxFileName->fontMetrics().horizontalAdvance(shown) <
                d.stxFileName->contentsRect().width());
    }
    QCOMPARE(d.stxFileName->toolTip(), name);
    QCOMPARE(d.choice().fileName, name);
}

void TestExportDialog::saveDialogPerType()
{
    TDlgExportForm d;
    d.prepareRecorderExport(1);
    d.prepareSaveDialog();
    QCOMPARE(d.SaveDialog1->defaultSuffix(), QStringLiteral("csv"));
    QCOMPARE(d.SaveDialog1->nameFilters(), QStringList{QStringLiteral("CSV files(*.csv)")});
    QCOMPARE(d.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(d.SaveDialog1->options(), QFileDialog::Options());
    QVERIFY(!d.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
    d.rbtnBitMap->setChecked(true);
    d.prepareSaveDialog();
    QCOMPARE(d.SaveDialog1->defaultSuffix(), QStringLiteral("bmp"));
    d.rbtnMetaFile->setChecked(true);
    d.prepareSaveDialog();
    QCOMPARE(d.SaveDialog1->defaultSuffix(), QStringLiteral("svg"));
}

void TestExportDialog::browseTakesTheChosenName()
{
    QTemporaryDir dir;
    TDlgExportForm d;
    d.prepareRecorderExport(1);
    d.SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);
    d.SaveDialog1->setDirectory(dir.path());

    // Cancel: nothing changes.
    d.setFileName(QStringLiteral("/tmp/before.csv"));
    QTimer::singleShot(0, d.SaveDialog1, &QDialog::reject);
    d.btnBrowseClick();
    QCOMPARE(d.fileName(), QStringLiteral("/tmp/before.csv"));

    // The proposed name with the text type's extension.
    QString proposed;
    QTimer::singleShot(0, d.SaveDialog1, [&] {
        if (const auto* edit = d.SaveDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            proposed = edit->text();
        static_cast<QDialog*>(d.SaveDialog1)->accept();
    });
    d.btnBrowseClick();
    QCOMPARE(proposed, QStringLiteral("Untitled"));
    QCOMPARE(QFileInfo(d.fileName()).fileName(), QStringLiteral("Untitled.csv"));
    QVERIFY(d.stxFileName->text().endsWith(QStringLiteral("/Untitled.csv")));
    QCOMPARE(d.stxFileName->toolTip(), d.fileName());
}

void TestExportDialog::choiceReadsBack()
{
    TDlgExportForm d;
    d.prepareRecorderExport(7);
    d.rbtnPage->setChecked(true);
    d.editPageFrom->setText(QStringLiteral("2"));
    d.editPageTo->setText(QStringLiteral("x"));
    d.setFileName(QStringLiteral("/tmp/out.csv"));
    ExportChoice c = d.choice();
    QCOMPARE(c.type, ExportType::Text);
    QCOMPARE(c.destination, ExportDestination::File);
    QCOMPARE(c.scope, PageScope::Pages);
    QCOMPARE(c.fileName, QStringLiteral("/tmp/out.csv"));
    QCOMPARE(c.pageFrom, std::optional<int>(2));
    QVERIFY(!c.pageTo);
    QCOMPARE(c.pageToText, QStringLiteral("x"));
    QVERIFY(!c.missingFileName());
    QCOMPARE(*exportPages(c, 7, 7).badPageText, QStringLiteral("x"));

    d.setFileName({});
    QVERIFY(d.choice().missingFileName());

    QTimer::singleShot(0, d.btnExport, [&] { d.btnExport->click(); });
    QCOMPARE(d.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, d.btnCancel, [&] { d.btnCancel->click(); });
    QCOMPARE(d.exec(), int(QDialog::Rejected));
}

void TestExportDialog::accessibleNames()
{
    TDlgExportForm d;
    QCOMPARE(accessibleName(d.rbtnPixels), QStringLiteral("No Specific Size"));
    d.rbtnBitMap->setChecked(true);
    QCOMPARE(accessibleName(d.rbtnPixels), QStringLiteral("Pixels"));
    QCOMPARE(accessibleName(d.gbObjectSize), QStringLiteral("Object Size"));
    QCOMPARE(accessibleName(d.editWidth), QStringLiteral("Width"));
    QVERIFY(!accessibleName(d.editHigh).isEmpty());
    QCOMPARE(accessibleName(d.editPageFrom), QStringLiteral("From"));
    QCOMPARE(accessibleName(d.editPageTo), QStringLiteral("To"));
    d.setFileName(QStringLiteral("/tmp/x.csv"));
    QCOMPARE(accessibleName(d.stxFileName), QStringLiteral("/tmp/x.csv"));
}

void TestExportDialog::centredWithFixedSize()
{
    TDlgExportForm d;
    d.prepareRecorderExport(1);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.focusWidget(), static_cast<QWidget*>(d.btnBrowse));
    const QRect screen = d.screen()->geometry();
    const QRect frame = d.frameGeometry();
    QVERIFY(qAbs(frame.center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 1);
    QCOMPARE(d.minimumSize(), d.maximumSize());
    // Choosing a picture type shows the size box without resizing the dialog.
    const QSize before = d.size();
    d.rbtnMetaFile->setChecked(true);
    QCOMPARE(d.size(), before);
}

void TestExportDialog::sizesTheActionTakes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("size");
    QTest::newRow("cut toward zero") << 68.9 << 68;
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("negative") << -5.0 << 0;
    QTest::newRow("not a number") << std::nan("") << 0;
    QTest::newRow("past an int") << 1e12 << INT_MAX;
}

void TestExportDialog::sizesTheActionTakes()
{
    QFETCH(double, value);
    QTEST(actionSize(value), "size");
}

QTEST_MAIN(TestExportDialog)
#include "tst_exportdialog.moc"
