// SPDX-License-Identifier: MIT
#include "AlarmCommand.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace dmm::logtool {

namespace {

// What is kept of a run's standard error: enough for a reason, not a flood.
constexpr qsizetype kMaxErrorBytes = 4096;

QString seconds(std::chrono::milliseconds span)
{
    return QString::number(span.count() / 1000.0, 'g', 6) + QStringLiteral(" s");
}

} // namespace

QStringList alarmCommandWords(const QString& commandLine)
{
    return QProcess::splitCommand(commandLine);
}

QString alarmProgramProblem(const QString& program)
{
    if (!program.contains(u'/')) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(": no such program on PATH");
        return {};
    }
    const QFileInfo file(program);
    if (!file.exists())
        return program + QStringLiteral(": no such file");
    if (file.isDir() || !file.isExecutable())
        return program + QStringLiteral(": not an executable file");
    return {};
}

AlarmCommand::AlarmCommand(QStringList words, std::FILE* err, QObject* parent)
    : QObject(parent), m_words(std::move(words)), m_err(err)
{
    m_runTimer.setSingleShot(true);
    m_killTimer.setSingleShot(true);
    m_finishTimer.setSingleShot(true);
    connect(&m_runTimer, &QTimer::timeout, this, [this] {
        m_terminated = true;
        m_process->terminate();
        m_killTimer.start(m_killAfter);
    });
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        m_killed = true;
        m_process->kill();
    });
    connect(&m_finishTimer, &QTimer::timeout, this, &AlarmCommand::giveUp);
}

AlarmCommand::~AlarmCommand()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000); // after SIGKILL: only the reaping
    }
}

void AlarmCommand::setTimeouts(std::chrono::milliseconds run, std::chrono::milliseconds kill)
{
    m_timeout = run;
    m_killAfter = kill;
}

void AlarmCommand::run(const AlarmEvent& event)
{
    if (m_finishing && m_finishTimer.isActive() == false && !busy())
        return; // the run has ended
    if (m_waiting.size() >= kMaxWaitingAlarms) {
        ++m_dropped;
        say(QStringLiteral("--on-alarm: %1 changes waiting already; %2 %3 not run")
                .arg(kMaxWaitingAlarms)
                .arg(event.name, QLatin1StringView(alarmStateName(event.state))));
        return;
    }
    m_waiting.push_back(event);
    if (!m_process)
        startNext();
}

void AlarmCommand::startNext()
{
    if (m_waiting.empty()) {
        if (m_finishing) {
            m_finishTimer.stop();
            emit drained();
        }
        return;
    }
    m_current = m_waiting.front();
    m_waiting.pop_front();
    m_errors.clear();
    m_terminated = false;
    m_killed = false;
    m_process = new QProcess(this);
    m_process->setProgram(m_words.value(0));
    m_process->setArguments(m_words.mid(1));
    m_process->setProcessEnvironment(
        alarmEnvironment(m_current, QProcessEnvironment::systemEnvironment()));
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardError, this, &AlarmCommand::collectErrors);
    connect(m_process, &QProcess::finished, this, &AlarmCommand::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &AlarmCommand::onError);
    m_runTimer.start(m_timeout);
    m_process->start();
}

void AlarmCommand::collectErrors()
{
    const QByteArray more = m_process->readAllStandardError();
    if (m_errors.size() < kMaxErrorBytes)
        m_errors += more.left(kMaxErrorBytes - m_errors.size());
}

void AlarmCommand::onError(QProcess::ProcessError error)
{
    // Only a failed start ends without finished().
    if (error != QProcess::FailedToStart)
        return;
    endRun(QStringLiteral("cannot start %1: %2").arg(m_words.value(0), m_process->errorString()));
}

void AlarmCommand::onFinished(int exitCode, QProcess::ExitStatus status)
{
    collectErrors();
    QString outcome;
    if (m_terminated)
        outcome = QStringLiteral("ended after %1, the longest a run may take (%2)")
                      .arg(seconds(m_timeout),
                           m_killed ? QStringLiteral("SIGKILL") : QStringLiteral("SIGTERM"));
    else if (status == QProcess::CrashExit)
        outcome = QStringLiteral("ended by a signal");
    else
        outcome = QStringLiteral("exit status %1").arg(exitCode);
    endRun(outcome);
}

void AlarmCommand::endRun(const QString& outcome)
{
    m_runTimer.stop();
    m_killTimer.stop();
    const QString what =
        QStringLiteral("--on-alarm for %1 %2: ")
            .arg(m_current.name, QLatin1StringView(alarmStateName(m_current.state)));
    for (const QByteArray& line : m_errors.split('\n'))
        if (!line.trimmed().isEmpty())
            say(what + QString::fromUtf8(line));
    say(what + outcome);
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    startNext();
}

void AlarmCommand::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    if (!busy()) {
        QMetaObject::invokeMethod(this, &AlarmCommand::drained, Qt::QueuedConnection);
        return;
    }
    say(QStringLiteral("waiting up to %1 for --on-alarm (%2 more waiting)")
            .arg(seconds(m_timeout))
            .arg(m_waiting.size()));
    m_finishTimer.start(m_timeout);
}

void AlarmCommand::giveUp()
{
    if (!m_waiting.empty()) {
        say(QStringLiteral("--on-alarm: %1 changes not run: the logger is ending")
                .arg(m_waiting.size()));
        m_waiting.clear();
    }
    if (m_process && !m_terminated) {
        m_runTimer.stop();
        m_terminated = true;
        m_process->terminate();
        m_killTimer.start(m_killAfter);
    }
}

void AlarmCommand::say(const QString& text)
{
    std::fputs(("dmm-log: " + text + u'\n').toUtf8().constData(), m_err);
    std::fflush(m_err);
}

} // namespace dmm::logtool
