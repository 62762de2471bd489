// SPDX-License-Identifier: MIT
#include "DlgExportForm.h"

#include "ComparatorLogic.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "StringTable.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace dmm {

namespace {

template <typename Widget, typename... Args>
Widget* make(QWidget* parent, const char* name, Args&&... args)
{
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* makeNumberEdit(QWidget* parent, const char* name, const QString& accessibleName,
                          int characters)
{
    auto* edit = make<QLineEdit>(parent, name);
    edit->setAccessibleName(accessibleName);
    const int width = edit->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0')));
    edit->setFixedWidth(width + 12);
    return edit;
}

} // namespace

void showConversionError(QWidget* owner, const QString& text, bool integer)
{
    MessageBoxRequest request;
    request.caption = QGuiApplication::applicationDisplayName();
    request.text = integer ? QStringLiteral("'%1' is not a valid integer value.").arg(text)
                           : QStringLiteral("'%1' is not a valid floating point value.").arg(text);
    request.icon = QMessageBox::Critical;
    showMessageBox(owner, request);
}

TDlgExportForm::TDlgExportForm(ExportDialogRole role, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_role(role)
{
    setObjectName(role == ExportDialogRole::Viewer ? QStringLiteral("DlgFitExportForm")
                                                   : QStringLiteral("DlgExportForm"));
    setModal(true);
    FormCreate();
}

void TDlgExportForm::FormCreate()
{
    setWindowTitle(tableString(107));

    gbExportType = make<QGroupBox>(this, "gbExportType", tableString(307));
    rbtnMetaFile = make<QRadioButton>(gbExportType, "rbtnMetaFile", tableString(308));
    rbtnBitMap = make<QRadioButton>(gbExportType, "rbtnBitMap", tableString(309));
    rbtnText = make<QRadioButton>(gbExportType, "rbtnText", tableString(310));
    auto* typeLayout = new QVBoxLayout(gbExportType);
    typeLayout->addWidget(rbtnMetaFile);
    typeLayout->addWidget(rbtnBitMap);
    typeLayout->addWidget(rbtnText);
    typeLayout->addStretch(1);

    gbExportDestination = make<QGroupBox>(this, "gbExportDestination",
                                          tableString(307) + QLatin1Char(' ') + tableString(311));
    rbtnClipBoard = make<QRadioButton>(gbExportDestination, "rbtnClipBoard", tableString(312));
    rbtnFile = make<QRadioButton>(gbExportDestination, "rbtnFile", tableString(313));
    btnBrowse = make<QPushButton>(gbExportDestination, "btnBrowse", tableString(314));
    stxFileName = make<QLabel>(gbExportDestination, "stxFileName");
    stxFileName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Room for the 30 characters a shortened name has; a longer name does not
    // widen the dialog but is shortened to the field (showFileName).
    stxFileName->setMinimumWidth(
        stxFileName->fontMetrics().horizontalAdvance(QString(30, QLatin1Char('x'))) + 8);
    stxFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    stxFileName->installEventFilter(this);
    stxFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rbtnPrinter = make<QRadioButton>(gbExportDestination, "rbtnPrinter", tableString(315));
    auto* destinationLayout = new QGridLayout(gbExportDestination);
    destinationLayout->addWidget(rbtnClipBoard, 0, 0, 1, 2);
    destinationLayout->addWidget(rbtnFile, 1, 0);
    destinationLayout->addWidget(btnBrowse, 1, 1);
    destinationLayout->addWidget(stxFileName, 2, 0, 1, 3);
    destinationLayout->addWidget(rbtnPrinter, 3, 0, 1, 2);
    destinationLayout->setColumnStretch(2, 1);

    gbPageScope = make<QGroupBox>(this, "gbPageScope", tableString(316));
    rbtnPageAll = make<QRadioButton>(gbPageScope, "rbtnPageAll", tableString(317));
    rbtnThisPage = make<QRadioButton>(gbPageScope, "rbtnThisPage", tableString(318));
    rbtnPage = make<QRadioButton>(gbPageScope, "rbtnPage", tableString(319));
    lblFrom = make<QLabel>(gbPageScope, "lblFrom", tableString(320));
    editPageFrom = makeNumberEdit(gbPageScope, "editPageFrom", tableString(320), 6);
    lblFrom->setBuddy(editPageFrom);
    lblTo = make<QLabel>(gbPageScope, "lblTo", tableString(321));
    editPageTo = makeNumberEdit(gbPageScope, "editPageTo", tableString(321), 6);
    lblTo->setBuddy(editPageTo);
    auto* scopeLayout = new QGridLayout(gbPageScope);
    scopeLayout->addWidget(rbtnPageAll, 0, 0, 1, 5);
    scopeLayout->addWidget(rbtnThisPage, 1, 0, 1, 5);
    scopeLayout->addWidget(rbtnPage, 2, 0);
    scopeLayout->addWidget(lblFrom, 2, 1);
    scopeLayout->addWidget(editPageFrom, 2, 2);
    scopeLayout->addWidget(lblTo, 2, 3);
    scopeLayout->addWidget(editPageTo, 2, 4);
    scopeLayout->setColumnStretch(5, 1);
    scopeLayout->setRowStretch(3, 1);

    gbObjectSize = make<QGroupBox>(this, "gbObjectSize", tableString(322));
    rbtnPixels = make<QRadioButton>(gbObjectSize, "rbtnPixels", tableString(323));
    rbtnMillimeters = make<QRadioButton>(gbObjectSize, "rbtnMillimeters", tableString(325));
    rbtnInches = make<QRadioButton>(gbObjectSize, "rbtnInches", tableString(326));
    rbtnPoints = make<QRadioButton>(gbObjectSize, "rbtnPoints", tableString(327));
    lblWidth = make<QLabel>(gbObjectSize, "lblWidth", tableString(328));
    editWidth = makeNumberEdit(gbObjectSize, "editWidth", tableString(328), 16);
    lblWidth->setBuddy(editWidth);
    lblSlash = make<QLabel>(gbObjectSize, "lblSlash", tableString(329));
    editHigh = makeNumberEdit(gbObjectSize, "editHigh", QStringLiteral("Height"), 16);
    lblUnit = make<QLabel>(gbObjectSize, "lblUnit", tableString(330));
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(rbtnPixels);
    unitRow->addWidget(rbtnMillimeters);
    unitRow->addWidget(rbtnInches);
    unitRow->addWidget(rbtnPoints);
    unitRow->addStretch(1);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(lblWidth);
    sizeRow->addWidget(editWidth);
    sizeRow->addWidget(lblSlash);
    sizeRow->addWidget(editHigh);
    sizeRow->addWidget(lblUnit);
    sizeRow->addStretch(1);
    auto* sizeLayout = new QVBoxLayout(gbObjectSize);
    sizeLayout->addLayout(unitRow);
    sizeLayout->addLayout(sizeRow);
    // The text type hides the size box; the dialog keeps its size meanwhile.
    QSizePolicy sizePolicy = gbObjectSize->sizePolicy();
    sizePolicy.setRetainSizeWhenHidden(true);
    gbObjectSize->setSizePolicy(sizePolicy);

    btnExport = make<QPushButton>(this, "btnExport", tableString(307));
    btnExport->setDefault(true);
    btnCancel = make<QPushButton>(this, "btnCancel", tableString(331));

    auto* grid = new QGridLayout(this);
    grid->addWidget(gbExportType, 0, 0);
    grid->addWidget(gbPageScope, 0, 1);
    grid->addWidget(gbExportDestination, 1, 0, 1, 2);
    grid->addWidget(gbObjectSize, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnExport);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize); // dialog border: not resizable

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);

    const auto onChecked = [this](QRadioButton* button, void (TDlgExportForm::*handler)()) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    onChecked(rbtnMetaFile, &TDlgExportForm::rbtnMetaFileClick);
    onChecked(rbtnBitMap, &TDlgExportForm::rbtnBitMapClick);
    onChecked(rbtnText, &TDlgExportForm::rbtnTextClick);
    onChecked(rbtnClipBoard, &TDlgExportForm::rbtnClipBoardClick);
    onChecked(rbtnFile, &TDlgExportForm::rbtnFileClick);
    onChecked(rbtnPrinter, &TDlgExportForm::rbtnPrinterClick);
    onChecked(rbtnPageAll, &TDlgExportForm::rbtnPageAllClick);
    onChecked(rbtnThisPage, &TDlgExportForm::rbtnThisPageClick);
    onChecked(rbtnPage, &TDlgExportForm::rbtnPageClick);
    onChecked(rbtnPixels, &TDlgExportForm::rbtnPixelsClick);
    onChecked(rbtnMillimeters, &TDlgExportForm::rbtnMillimetersClick);
    onChecked(rbtnInches, &TDlgExportForm::rbtnInchesClick);
    onChecked(rbtnPoints, &TDlgExportForm::rbtnPointsClick);
    connect(editWidth, &QLineEdit::textChanged, this, &TDlgExportForm::editWidthChange);
    connect(editHigh, &QLineEdit::textChanged, this, &TDlgExportForm::editHighChange);
    connect(btnBrowse, &QPushButton::clicked, this, &TDlgExportForm::btnBrowseClick);
    connect(btnExport, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Start as the text export, every state consistent with it: a caller that
    // checks the text type again then finds nothing to change.
    setPageEditsEnabled(false);
    rbtnText->setChecked(true);
}

void TDlgExportForm::checkAndRun(QRadioButton* button, void (TDlgExportForm::*handler)())
{
    // Checking an already checked button runs nothing; a type change still has
    // to bring the destination's and the unit's states up to date.
    if (button->isChecked())
        (this->*handler)();
    else
        button->setChecked(true);
}

void TDlgExportForm::rbtnTextClick()
{
    rbtnClipBoard->setEnabled(false);
    rbtnPrinter->setEnabled(false);
    rbtnFile->setEnabled(true);
    checkAndRun(rbtnFile, &TDlgExportForm::rbtnFileClick);
    gbObjectSize->hide();
}

void TDlgExportForm::rbtnBitMapClick()
{
    rbtnClipBoard->setEnabled(true);
    rbtnFile->setEnabled(true);
    rbtnPrinter->setEnabled(true);
    checkAndRun(rbtnClipBoard, &TDlgExportForm::rbtnClipBoardClick);
    rbtnPixels->setText(tableString(324));
    lblUnit->setText(tableString(324));
    rbtnPixels->setEnabled(true);
    rbtnMillimeters->setEnabled(false);
    rbtnInches->setEnabled(false);
    rbtnPoints->setEnabled(false);
    m_width = kBitmapWidth;
    m_height = kBitmapHeight;
    checkAndRun(rbtnPixels, &TDlgExportForm::rbtnPixelsClick);
    gbObjectSize->show();
}

void TDlgExportForm::rbtnMetaFileClick()
{
    rbtnClipBoard->setEnabled(true);
    rbtnFile->setEnabled(true);
    rbtnPrinter->setEnabled(true);
    checkAndRun(rbtnClipBoard, &TDlgExportForm::rbtnClipBoardClick);
    rbtnPixels->setText(tableString(324));
    rbtnPixels->setEnabled(false);
    lblUnit->setText(tableString(330));
    rbtnMillimeters->setEnabled(true);
    rbtnInches->setEnabled(true);
    rbtnPoints->setEnabled(true);
    m_width = kMetafileWidth;
    m_height = kMetafileHeight;
    checkAndRun(rbtnMillimeters, &TDlgExportForm::rbtnMillimetersClick);
    gbObjectSize->show();
}

void TDlgExportForm::rbtnClipBoardClick()
{
    setFileName({});
    btnBrowse->setEnabled(false);
    if (rbtnBitMap->isChecked() || rbtnMetaFile->isChecked()) {
        rbtnPageAll->setEnabled(false);
        rbtnPage->setEnabled(false);
        rbtnThisPage->setEnabled(true);
        rbtnThisPage->setChecked(true);
    }
}

void TDlgExportForm::rbtnFileClick()
{
    setFileName({});
    btnBrowse->setEnabled(true);
    rbtnThisPage->setEnabled(true);
    rbtnThisPage->setChecked(true);
    const bool text = rbtnText->isChecked();
    rbtnPageAll->setEnabled(text);
    rbtnPage->setEnabled(text);
}

void TDlgExportForm::rbtnPrinterClick()
{
    btnBrowse->setEnabled(false);
    if (m_role == ExportDialogRole::Recorder) {
        rbtnPageAll->setEnabled(!printerScopeLock);
        rbtnThisPage->setEnabled(!printerScopeLock);
        rbtnPage->setEnabled(!printerScopeLock);
        return;
    }
    rbtnPageAll->setEnabled(false);
    rbtnPage->setEnabled(false);
    rbtnThisPage->setEnabled(true);
    rbtnThisPage->setChecked(true);
}

void TDlgExportForm::setPageEditsEnabled(bool enabled)
{
    lblFrom->setEnabled(enabled);
    lblTo->setEnabled(enabled);
    editPageFrom->setEnabled(enabled);
    editPageTo->setEnabled(enabled);
}

void TDlgExportForm::rbtnPageAllClick()
{
    setPageEditsEnabled(false);
}

void TDlgExportForm::rbtnThisPageClick()
{
    setPageEditsEnabled(false);
}

void TDlgExportForm::rbtnPageClick()
{
    setPageEditsEnabled(true);
}

SizeUnit TDlgExportForm::checkedUnit() const
{
    if (rbtnMillimeters->isChecked())
        return SizeUnit::Millimeters;
    if (rbtnInches->isChecked())
        return SizeUnit::Inches;
    if (rbtnPoints->isChecked())
        return SizeUnit::Points;
    return SizeUnit::Pixels;
}

void TDlgExportForm::showSizes()
{
    // Each text change stores its converted number again (editWidthChange).
    const SizeUnit unit = checkedUnit();
    editWidth->setText(shownSizeText(m_width, unit, decimalSeparator()));
    editHigh->setText(shownSizeText(m_height, unit, decimalSeparator()));
}

void TDlgExportForm::rbtnPixelsClick()
{
    showSizes();
}

void TDlgExportForm::rbtnMillimetersClick()
{
    showSizes();
}

void TDlgExportForm::rbtnInchesClick()
{
    showSizes();
}

void TDlgExportForm::rbtnPointsClick()
{
    showSizes();
}

void TDlgExportForm::editWidthChange(const QString& text)
{
    takeSizeText(text, m_width);
}

void TDlgExportForm::editHighChange(const QString& text)
{
    takeSizeText(text, m_height);
}

void TDlgExportForm::takeSizeText(const QString& text, double& stored)
{
    const std::string typed = text.toStdString();
    const char separator = decimalSeparator();
    switch (classifyLimitText(typed, separator).kind) {
    case LimitTextKind::Number:
        if (const auto size = storedSize(typed, checkedUnit(), rbtnBitMap->isChecked(), separator))
            stored = *size;
        return;
    case LimitTextKind::Empty:
    case LimitTextKind::Incomplete:
        // An emptied edit or a "1e" on its way to a number is not reported
        // at every keystroke; the size keeps its last value meanwhile.
        return;
    case LimitTextKind::Invalid:
        break;
    }
    showConversionError(this, text, false);
}

void TDlgExportForm::setFileName(const QString& fileName)
{
    m_fileName = fileName;
    stxFileName->setToolTip(fileName);
    showFileName();
}

void TDlgExportForm::showFileName()
{
    // The text's room inside the frame; a framed label indents its text by
    // half an "x" unless told otherwise.
    const QFontMetrics metrics = stxFileName->fontMetrics();
    const int indent = stxFileName->indent() >= 0 ? stxFileName->indent()
                       : stxFileName->frameWidth() > 0
                           ? metrics.horizontalAdvance(QLatin1Char('x')) / 2
                           : 0;
    const int room = stxFileName->contentsRect().width() - 2 * stxFileName->margin() - indent;
    stxFileName->setText(shortenFileName(m_fileName, [&](const QString& shown) {
        return metrics.horizontalAdvance(shown) <= room;
    }));
}

bool TDlgExportForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == stxFileName && event->type() == QEvent::Resize)
        showFileName();
    return QDialog::eventFilter(watched, event);
}

void TDlgExportForm::prepareSaveDialog()
{
    if (rbtnText->isChecked()) {
        SaveDialog1->setDefaultSuffix(QStringLiteral("csv"));
        SaveDialog1->setNameFilters({QStringLiteral("CSV files(*.csv)")});
    } else if (rbtnBitMap->isChecked()) {
        SaveDialog1->setDefaultSuffix(QStringLiteral("bmp"));
        SaveDialog1->setNameFilters({QStringLiteral("Bitmaps (*.bmp)")});
    } else {
        SaveDialog1->setDefaultSuffix(QStringLiteral("svg"));
        SaveDialog1->setNameFilters({QStringLiteral("SVG pictures (*.svg)")});
    }
    // Overwriting an existing file is confirmed: that is the one option.
    SaveDialog1->setOptions(QFileDialog::Options());
    SaveDialog1->selectFile(QStringLiteral("Untitled"));
}

void TDlgExportForm::btnBrowseClick()
{
    prepareSaveDialog();
    if (SaveDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = SaveDialog1->selectedFiles();
    if (chosen.isEmpty())
        return;
    setFileName(chosen.first());
}

ExportChoice TDlgExportForm::choice() const
{
    ExportChoice c;
    c.type = rbtnMetaFile->isChecked() ? ExportType::MetaFile
             : rbtnBitMap->isChecked() ? ExportType::BitMap
                                       : ExportType::Text;
    c.destination = rbtnClipBoard->isChecked() ? ExportDestination::ClipBoard
                    : rbtnPrinter->isChecked() ? ExportDestination::Printer
                                               : ExportDestination::File;
    c.fileName = m_fileName;
    c.scope = rbtnPageAll->isChecked() ? PageScope::AllPages
              : rbtnPage->isChecked()  ? PageScope::Pages
                                       : PageScope::ThisPage;
    c.pageFromText = editPageFrom->text();
    c.pageToText = editPageTo->text();
    c.pageFrom = parseInteger(c.pageFromText.toStdString());
    c.pageTo = parseInteger(c.pageToText.toStdString());
    c.width = m_width;
    c.height = m_height;
    return c;
}

void TDlgExportForm::prepareRecorderExport(int lastPage)
{
    rbtnText->setChecked(true);
    rbtnThisPage->setChecked(true);
    editPageFrom->setText(QStringLiteral("1"));
    editPageTo->setText(QString::number(lastPage));
    setFileName({});
    btnBrowse->setFocus();
    printerScopeLock = false;
}

void TDlgExportForm::prepareViewerExport()
{
    rbtnText->setEnabled(false);
    rbtnText->hide();
    rbtnMetaFile->setChecked(true);
    rbtnThisPage->setChecked(true);
    editPageFrom->setText(QStringLiteral("1"));
    editPageTo->setText(QStringLiteral("1"));
    setFileName({});
    printerScopeLock = true;
}

void TDlgExportForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2,
             area.top() + (area.height() - outer.height()) / 2);
    }
}

} // namespace dmm
