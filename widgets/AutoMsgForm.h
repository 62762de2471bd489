// SPDX-License-Identifier: MIT
// The self-closing warning: continues by itself after 3 seconds.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace dmm {

class TAutoMsgForm : public QDialog
{
    Q_OBJECT
public:
    // The results the caller acts on.
    enum Result
    {
        Yes = 6,
        Retry = 4,
        Abort = 3
    };

    explicit TAutoMsgForm(QWidget* parent = nullptr);

    // Fills the caption and the three lines before showing.
    void setMessage(const QString& caption, const QString& line1, const QString& line2,
                    const QString& line3);

    QLabel* lbMsg1 = nullptr;
    QLabel* lbMsg2 = nullptr;
    QLabel* lbMsg3 = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* bbtnYes = nullptr;
    QPushButton* bbtnAbort = nullptr;
    QTimer* Timer1 = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape means Abort

private:
    void Timer1Timer();
    void fitToTexts();
};

} // namespace dmm
