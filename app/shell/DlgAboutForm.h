// SPDX-License-Identifier: MIT
// The about box.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace dmm {

class TDlgAboutForm : public QDialog
{
    Q_OBJECT
public:
    explicit TDlgAboutForm(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

} // namespace dmm
