// SPDX-License-Identifier: MIT
// The acquisition interval dialog: Manual, or Automatic at Full Speed or at a
// custom number of seconds asked for in an input box.
#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace dmm {

class TDialogOption : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogOption(QWidget* parent = nullptr);

    bool dlgManual = false;
    int dlgIntervalSeconds = 0; // 0 is Full Speed

    // The input box (caption, prompt, default text) returning the text typed,
    // or the default text when cancelled. Tests answer it themselves.
    using InputBox = std::function<QString(const QString&, const QString&, const QString&)>;
    void setInputBox(InputBox inputBox) { m_inputBox = std::move(inputBox); }

    QGroupBox* gbMode = nullptr;
    QRadioButton* rbtnManual = nullptr;
    QRadioButton* rbtnAutomatic = nullptr;
    QComboBox* cbxInterval = nullptr;
    QLabel* imgIcon = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    void rbtnClick();
    void cbxIntervalChange(int item);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void askForSeconds();
    void showIntervalItem();

    InputBox m_inputBox;
};

} // namespace dmm
