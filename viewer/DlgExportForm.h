// SPDX-License-Identifier: MIT
// The export dialog: gathers the export type, destination, file name, page
// scope and picture size; the caller reads them with choice() after the dialog
// closes and runs the export. The recorder and the viewer each own one; they
// differ only in what choosing the printer does to the page scope.
#pragma once

#include <QDialog>
#include <QString>

#include "ExportChoice.h"

class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dmm {

enum class ExportDialogRole
{
    Recorder, // TDlgExportForm: the printer leaves the page scope to printerScopeLock
    Viewer,   // TDlgFitExportForm: the printer prints the one chart
};

class TDlgExportForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDlgExportForm(ExportDialogRole role = ExportDialogRole::Recorder,
                            QWidget* parent = nullptr);

    ExportDialogRole role() const { return m_role; }

    // What the caller reads after the dialog closed with OK.
    ExportChoice choice() const;

    // The file name the export writes to, shown in stxFileName, shortened
    // when it does not fit.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& fileName);

    // Pixels for a bitmap, hundredths of a millimetre for a metafile.
    double pictureWidth() const { return m_width; }
    double pictureHeight() const { return m_height; }

    // Set by the caller before showing; only the recorder's dialog reads it:
    // true disables the page scopes when the printer is chosen.
    bool printerScopeLock = false;

    // The callers' preparation: the recorder offers its pages as text, This
    // Page checked, From 1 To lastPage, no file name, Browse focused; the
    // viewer offers its chart as a metafile and hides the text type.
    void prepareRecorderExport(int lastPage);
    void prepareViewerExport();

    QGroupBox* gbExportType = nullptr;
    QRadioButton* rbtnMetaFile = nullptr;
    QRadioButton* rbtnBitMap = nullptr;
    QRadioButton* rbtnText = nullptr;
    QGroupBox* gbExportDestination = nullptr;
    QRadioButton* rbtnClipBoard = nullptr;
    QRadioButton* rbtnFile = nullptr;
    QPushButton* btnBrowse = nullptr;
    QLabel* stxFileName = nullptr;
    QRadioButton* rbtnPrinter = nullptr;
    QGroupBox* gbPageScope = nullptr;
    QRadioButton* rbtnPageAll = nullptr;
    QRadioButton* rbtnThisPage = nullptr;
    QRadioButton* rbtnPage = nullptr;
    QLabel* lblFrom = nullptr;
    QLineEdit* editPageFrom = nullptr;
    QLabel* lblTo = nullptr;
    QLineEdit* editPageTo = nullptr;
    QGroupBox* gbObjectSize = nullptr;
    QRadioButton* rbtnPixels = nullptr;
    QRadioButton* rbtnMillimeters = nullptr;
    QRadioButton* rbtnInches = nullptr;
    QRadioButton* rbtnPoints = nullptr;
    QLabel* lblWidth = nullptr;
    QLineEdit* editWidth = nullptr;
    QLabel* lblSlash = nullptr;
    QLineEdit* editHigh = nullptr;
    QLabel* lblUnit = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnCancel = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

    // Each radio button's handler runs when the button becomes checked, by the
    // user or by the program.
    void rbtnMetaFileClick();
    void rbtnBitMapClick();
    void rbtnTextClick();
    void rbtnClipBoardClick();
    void rbtnFileClick();
    void rbtnPrinterClick();
    void rbtnPageAllClick();
    void rbtnThisPageClick();
    void rbtnPageClick();
    void rbtnPixelsClick();
    void rbtnMillimetersClick();
    void rbtnInchesClick();
    void rbtnPointsClick();
    void editWidthChange(const QString& text);
    void editHighChange(const QString& text);
    void btnBrowseClick();
    // Step 1 of Browse: the save dialog's extension, filters, proposed name
    // and options for the checked type.
    void prepareSaveDialog();

    SizeUnit checkedUnit() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void checkAndRun(QRadioButton* button, void (TDlgExportForm::*handler)());
    void showSizes();
    void takeSizeText(const QString& text, double& stored);
    void setPageEditsEnabled(bool enabled);
    void showFileName();

    ExportDialogRole m_role;
    QString m_fileName;
    double m_width = 0.0;
    double m_height = 0.0;
};

// The viewer's copy of the dialog.
class TDlgFitExportForm : public TDlgExportForm
{
    Q_OBJECT
public:
    explicit TDlgFitExportForm(QWidget* parent = nullptr)
        : TDlgExportForm(ExportDialogRole::Viewer, parent)
    {
    }
};

// The report of a text that does not convert to a number, as the program shows
// it for every numeric edit: "'abc' is not a valid integer value." (or
// "floating point value") in a stop box captioned with the application's name.
void showConversionError(QWidget* owner, const QString& text, bool integer);

} // namespace dmm
