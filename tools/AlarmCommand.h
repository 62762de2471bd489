// SPDX-License-Identifier: MIT
// dmm-log's --on-alarm COMMAND: run without a shell for each change of an
// alarm's state, with the change in its environment (AlarmTexts.h). One runs
// at a time; changes that come while one runs wait in order (each change runs
// the command once, up to kMaxWaitingAlarms waiting; more are dropped and
// said so). A run that takes longer than the timeout (30 s) is sent SIGTERM,
// and SIGKILL a few seconds later. Its exit status and standard error go to
// dmm-log's standard error; its standard output is dropped. Nothing here
// waits: the process runs beside the event loop, so logging goes on.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <deque>

#include "AlarmTexts.h"

namespace dmm::logtool {

inline constexpr std::chrono::milliseconds kAlarmCommandTimeout{30'000};
inline constexpr std::size_t kMaxWaitingAlarms = 100;

// The words of a command line: split at spaces; "..." keeps spaces in a word
// and a quote inside it is written """ (QProcess::splitCommand). No shell:
// no variables, globs, pipes or redirections. Empty for a blank command.
QStringList alarmCommandWords(const QString& commandLine);

// Why `program` (the first word) cannot be run: not found on PATH, no such
// file, not executable. Empty when it can.
QString alarmProgramProblem(const QString& program);

class AlarmCommand : public QObject
{
    Q_OBJECT
public:
    AlarmCommand(QStringList words, std::FILE* err, QObject* parent = nullptr);
    ~AlarmCommand() override;

    // How long a run may take before it is ended; and from SIGTERM to SIGKILL.
    void setTimeouts(std::chrono::milliseconds run, std::chrono::milliseconds kill);

    // Runs the command for `event` now, or after those before it.
    void run(const AlarmEvent& event);
    bool busy() const { return m_process != nullptr || !m_waiting.empty(); }

    // The end of the run: the running and waiting commands get one timeout
    // in all, then the running one is ended and the rest dropped. drained()
    // follows when nothing runs any more.
    void finish();

signals:
    void drained();

private:
    void startNext();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void endRun(const QString& outcome);
    void collectErrors();
    void giveUp();
    void say(const QString& text);

    QStringList m_words;
    std::FILE* m_err;
    std::chrono::milliseconds m_timeout = kAlarmCommandTimeout;
    std::chrono::milliseconds m_killAfter{5'000};
    std::deque<AlarmEvent> m_waiting;
    std::size_t m_dropped = 0;
    QProcess* m_process = nullptr;
    AlarmEvent m_current;
    QByteArray m_errors;
    bool m_terminated = false;
    bool m_killed = false;
    QTimer m_runTimer;
    QTimer m_killTimer;
    QTimer m_finishTimer;
    bool m_finishing = false;
};

} // namespace dmm::logtool
