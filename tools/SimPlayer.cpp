// SPDX-License-Identifier: MIT
#include "SimPlayer.h"

#include <QTime>

#include <string>

#include "HexBytes.h"

using dmm::sim::SimStep;

namespace {

constexpr int kReaderPollMs = 20;
// Closing the master throws away what the reader has not read yet, so the
// last frames get this long to be taken before the simulator goes away.
constexpr int kFinalDrainMs = 200;

} // namespace

SimPlayer::SimPlayer(PseudoTerminal& terminal, dmm::sim::SimSteps steps, Options options,
                     QObject* parent)
    : QObject(parent), m_terminal(terminal), m_steps(std::move(steps)), m_options(options)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
}

void SimPlayer::start()
{
    if (m_options.waitForReader) {
        connect(&m_timer, &QTimer::timeout, this, &SimPlayer::waitForReader);
        m_timer.start(0);
        return;
    }
    connect(&m_timer, &QTimer::timeout, this, &SimPlayer::runStep);
    m_timer.start(0);
}

void SimPlayer::waitForReader()
{
    if (!m_terminal.hasReader()) {
        m_timer.start(kReaderPollMs);
        return;
    }
    disconnect(&m_timer, &QTimer::timeout, this, &SimPlayer::waitForReader);
    connect(&m_timer, &QTimer::timeout, this, &SimPlayer::runStep);
    m_timer.start(0);
}

void SimPlayer::scheduleNext(int milliseconds)
{
    m_timer.start(milliseconds);
}

void SimPlayer::runStep()
{
    m_terminal.drain();
    // The checks come before the step, so the last write is still followed by
    // its period of quiet before the simulator goes away.
    if (m_options.maxFrames >= 0 && m_framesDelivered >= m_options.maxFrames) {
        finish();
        return;
    }
    if (m_next >= m_steps.size()) {
        if (m_options.once || m_steps.empty()) {
            finish();
            return;
        }
        m_next = 0;
    }

    const SimStep& step = m_steps[m_next++];
    switch (step.kind) {
    case SimStep::Kind::Frame:
    case SimStep::Kind::Bytes:
        write(step);
        scheduleNext(m_options.periodMs);
        break;
    case SimStep::Kind::Wait:
        scheduleNext(step.milliseconds);
        break;
    case SimStep::Kind::Period:
        m_options.periodMs = step.milliseconds;
        scheduleNext(0);
        break;
    }
}

void SimPlayer::finish()
{
    disconnect(&m_timer, &QTimer::timeout, this, &SimPlayer::runStep);
    connect(&m_timer, &QTimer::timeout, this, &SimPlayer::finished);
    m_timer.start(m_terminal.hasReader() ? kFinalDrainMs : 0);
}

void SimPlayer::write(const SimStep& step)
{
    std::size_t written = 0;
    const auto result = m_terminal.write(step.bytes, written);
    std::string status;
    switch (result) {
    case PseudoTerminal::WriteResult::Written:
        status = "sent";
        if (step.kind == SimStep::Kind::Frame)
            ++m_framesDelivered;
        break;
    case PseudoTerminal::WriteResult::NoReader:
        status = "no-reader";
        break;
    case PseudoTerminal::WriteResult::Full:
        status = "dropped-full";
        break;
    case PseudoTerminal::WriteResult::Short:
        status = "short-" + std::to_string(written);
        break;
    case PseudoTerminal::WriteResult::Failed:
        status = "failed";
        break;
    }
    logWrite(step, status.c_str());
}

void SimPlayer::logWrite(const SimStep& step, const char* status)
{
    // The decoder's view is what a reader that got exactly these bytes in one
    // read would make of them, the previous reads included.
    const std::string decoded = m_logDecoder.feed(step.bytes);
    if (!m_options.log)
        return;
    const QByteArray time =
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    std::fprintf(m_options.log, "%s %s %s %s\n", time.constData(), status,
                 dmm::sim::hexText(step.bytes).c_str(), decoded.c_str());
    std::fflush(m_options.log);
}
