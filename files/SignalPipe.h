// SPDX-License-Identifier: MIT
// SIGINT, SIGTERM and SIGHUP (a closed terminal, a logout) turned into a Qt
// signal: the handler only writes a byte into a pipe, and the event loop reads
// it. A hangup that was ignored when the program started (nohup) stays ignored.
#pragma once

#include <QObject>

class QSocketNotifier;

// A write past the file-size limit (RLIMIT_FSIZE) fails with EFBIG instead of
// killing the program mid-record: the writer cuts its file back to whole
// records and says why. Called once by every program that writes records.
void ignoreFileSizeLimitSignal();

class SignalPipe : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;

    // False when the pipe or the handlers could not be set up.
    bool install();

signals:
    void terminationRequested();

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
    bool m_hangupHandled = false;
};
