// SPDX-License-Identifier: MIT
#include "AcquisitionLoop.h"

#include <span>

#include "GlobalFlags.h"
#include "NumberText.h"
#include "SerialLink.h"

namespace dmm {

AcquisitionLoop::AcquisitionLoop(SerialLink* link, QObject* parent) : QObject(parent), m_link(link)
{
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AcquisitionLoop::TimerGetSdTimer);
    connect(m_link, &SerialLink::frameReadFinished, this, &AcquisitionLoop::onFrameRead);
}

void AcquisitionLoop::setLinked(bool linked)
{
    m_linked = linked;
    if (linked) {
        m_noDataCount = 0;
        m_timer.start();
        return;
    }
    bDataValid = 0;
    m_timer.stop();
    // A read or a warning still open belongs to the released link: drop it.
    if (m_link->readPending())
        m_link->cancelRead();
    m_pendingFrame.reset();
    m_warningPending = false;
    if (m_tickRunning) {
        m_tickRunning = false;
        emit tickFinished();
    }
}

void AcquisitionLoop::TimerGetSdTimer()
{
    m_timer.stop();
    if (m_tickRunning)
        return;
    m_tickRunning = true;
    // An adapter that went away and came back: take the same port up again, so
    // readings resume without the user choosing the port anew.
    if (m_link->portLost())
        m_link->reopenLostPort();
    m_link->startFrameRead(); // ends in onFrameRead, from the event loop
}

void AcquisitionLoop::onFrameRead(const QByteArray& bytes, bool failed)
{
    if (!m_tickRunning)
        return;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto decoded =
        m_decoder.ReadMeterFrame(std::span(data, static_cast<std::size_t>(bytes.size())), failed);
    if (!decoded) {
        if (++m_noDataCount < kNoDataThreshold) {
            endTick(true);
            return;
        }
        m_noDataCount = 0;
        m_warningPending = true;
        m_pendingWarning = Warning::NoData;
        emit warningRequested(Warning::NoData);
        return;
    }
    m_noDataCount = 0;
    m_pendingFrame = decoded;
    if (decoded->function & kLowBatteryBit) {
        m_warningPending = true;
        m_pendingWarning = Warning::LowBattery;
        emit warningRequested(Warning::LowBattery);
        return;
    }
    goOnWithFrame();
}

void AcquisitionLoop::answerWarning(WarningAnswer answer)
{
    if (!m_warningPending || !m_tickRunning)
        return;
    m_warningPending = false;
    if (answer == WarningAnswer::Abort) {
        m_pendingFrame.reset();
        m_tickRunning = false;
        emit linkReleaseRequested(); // the host releases the link; the timer stays off
        emit tickFinished();
        return;
    }
    if (m_pendingWarning == Warning::NoData) {
        endTick(true);
        return;
    }
    goOnWithFrame();
}

void AcquisitionLoop::goOnWithFrame()
{
    const DecodedFrame frame = *m_pendingFrame;
    m_pendingFrame.reset();
    // From the first decoded frame on, every conversion in the program uses '.'.
    setDecimalSeparator('.');
    const MeterText meterText = applyFrame(m_reading, frame);
    bDataValid = 1;
    emit readingDecoded(meterText);
    endTick(true);
}

void AcquisitionLoop::endTick(bool reenableTimer)
{
    m_tickRunning = false;
    if (reenableTimer && m_linked)
        m_timer.start();
    emit tickFinished();
}

} // namespace dmm
