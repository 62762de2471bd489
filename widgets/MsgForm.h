// SPDX-License-Identifier: MIT
// The progress window shown while the recorder loads a file.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace dmm {

class TMsgForm : public QWidget
{
    Q_OBJECT
public:
    explicit TMsgForm(QWidget* parent = nullptr);

    QLabel* MsgPanel = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* bbtnAbort = nullptr;

    // Asks W8014; on Yes clears bBusy so the loading loop stops. The window stays open.
    // Without `askBeforeAbort` (work whose abort loses nothing, such as a
    // write that leaves the old file as it was) bBusy is cleared at once.
    void bbtnAbortClick();
    bool askBeforeAbort = true;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace dmm
