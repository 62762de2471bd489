// SPDX-License-Identifier: MIT
// The comparator's limit dialog: edits the upper and lower limit and refuses a
// pair whose upper limit does not exceed the lower one.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dmm {

class TDlgHiLowForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDlgHiLowForm(QWidget* parent = nullptr);

    // Filled in by the comparator before the dialog is shown; the pending
    // limits follow every edit that converts, and are taken on OK.
    double pendingHi = 0.0;
    double pendingLow = 0.0;
    int iFunction = 0;
    QString prefix;
    QString unit;

    QLabel* Label1 = nullptr;
    QLineEdit* mkeHiLimit = nullptr;
    QLabel* stxtHiUnit = nullptr; // prefix
    QLabel* stxtHiFunc = nullptr; // unit
    QLabel* Label2 = nullptr;
    QLineEdit* mkeLowLimit = nullptr;
    QLabel* stxtLowUnit = nullptr;
    QLabel* stxtLowFunc = nullptr;
    // Opt-in: the comparator tells the desktop when the alarm starts and ends.
    QCheckBox* cbNotify = nullptr;
    QPushButton* bbtnOk = nullptr;
    QPushButton* bbtnCancel = nullptr;

    void bbtnOkClick();
    // What a repaint of the dialog does: both edits show the pending limits in
    // the general conversion, the static texts follow the function's faces.
    void normalise();
    bool normalisationPending() const { return m_normalisePending; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void mkeHiLimitChange(const QString& text);
    void mkeLowLimitChange(const QString& text);
    void takeLimitText(const QString& text, double& pending);

    bool m_normalisePending = false;
};

} // namespace dmm
