// SPDX-License-Identifier: MIT
// The whole program in-process: the main window and every other window,
// started in a given directory, with message boxes answered by the test.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "AppWindows.h"
#include "MainWindow.h"
#include "MessageBox.h"

class ShellFixture
{
public:
    // Writes MLQDL.ini with `iPort` into `directory` (unless iPort is 0), makes
    // it the current directory and starts the program there.
    explicit ShellFixture(const QString& directory, int iPort = 1);
    ~ShellFixture();

    dmm::TFormMain& main() { return *m_main; }
    dmm::AppWindows& windows() { return *m_windows; }

    // Every box shown so far, as "Error[E9001]" etc.
    QStringList boxCaptions() const { return m_captions; }
    const QList<dmm::MessageBoxRequest>& boxes() const { return m_boxes; }
    // The answer given to the next boxes (Ok by default).
    void answerBoxesWith(int button) { m_answer = button; }
    // The answers to the next boxes, one each, in turn; then the default again.
    void answerBoxesInTurn(const QList<int>& buttons) { m_answers = buttons; }

    // Presses the link button as the user does.
    void clickLink();

private:
    QString m_previousDirectory;
    QStringList m_captions;
    QList<dmm::MessageBoxRequest> m_boxes;
    int m_answer = QMessageBox::Ok;
    QList<int> m_answers;
    std::unique_ptr<dmm::TFormMain> m_main;
    std::unique_ptr<dmm::AppWindows> m_windows;
};
