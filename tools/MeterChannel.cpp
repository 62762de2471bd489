// SPDX-License-Identifier: MIT
#include "MeterChannel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FileChecks.h"
#include "LogLines.h"
#include "LogOptions.h"
#include "PortAdvice.h"
#include "StringTable.h"

namespace dmm::logtool {

bool openMeterPort(SerialLink& link, const QString& port, std::unique_ptr<QTemporaryDir>& directory,
                   QString* detail)
{
    PortError error;
    if (const int number = comPortNumber(port); number > 0) {
        if (link.OpenPort(number, QDir::currentPath(), &error))
            return true;
        // What the window's open-error box advises, for the journal.
        *detail = portOpenAdvice(number, QDir::currentPath(), error,
                                 findSerialAdapters(adapterSearchRoots()));
        return false;
    }
    // The same open as for COMn, through a link named COM1 that only this run
    // sees; a replugged adapter is found again through it as well.
    directory = std::make_unique<QTemporaryDir>();
    const QString entry = directory->filePath(QStringLiteral("COM1"));
    if (!directory->isValid() || !QFile::link(QFileInfo(port).absoluteFilePath(), entry)) {
        *detail = port + QStringLiteral(": cannot make a link to it in ") + QDir::tempPath();
        return false;
    }
    if (link.OpenPort(1, directory->path(), &error))
        return true;
    *detail = deviceOpenAdvice(port, error, findSerialAdapters(adapterSearchRoots()));
    return false;
}

QString meterWarningText(MeterWarning warning, int times, const QString& name)
{
    const int id = warning == MeterWarning::NoData ? 8004 : 8000;
    QString text = QStringLiteral("dmm-log: %1 %2%3 %4")
                       .arg(QString::fromStdString(isoLocalTime(QDateTime::currentDateTime())),
                            name.isEmpty() ? QString() : name + QStringLiteral(": "),
                            messageCaption(kStrWarningCaption, id), tableString(id));
    if (warning == MeterWarning::NoData)
        text += QLatin1Char(' ') + tableString(7007);
    if (times > 1)
        text += QStringLiteral(" (%1 times since the last report)").arg(times);
    return text;
}

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(fileNameBytes(text).constData(), stream);
    std::fflush(stream);
}

} // namespace

MeterChannel::MeterChannel(MeterPort meter, std::FILE* err, QObject* parent)
    : QObject(parent), m_meter(std::move(meter)), m_err(err), m_loop(&m_link)
{
    connect(&m_loop, &AcquisitionLoop::readingDecoded, this, &MeterChannel::onReadingDecoded);
    connect(&m_loop, &AcquisitionLoop::warningRequested, this, &MeterChannel::onWarning);
    // The loop restarts its own timer as a tick ends; here the session's tick
    // alone starts a poll, so that the meters' readings of a round belong together.
    connect(&m_loop, &AcquisitionLoop::tickFinished, this, [this] {
        m_loop.TimerGetSd().stop();
        emit tickFinished(this);
    });
    m_clock.start();
}

MeterChannel::~MeterChannel()
{
    m_loop.setLinked(false);
}

bool MeterChannel::openPort(QString* detail)
{
    return openMeterPort(m_link, m_meter.port, m_portDirectory, detail);
}

bool MeterChannel::openRecords(const QString& path, bool append, QString* error)
{
    const auto announceCut = [&](qint64 bytes) {
        print(m_err,
              QStringLiteral("dmm-log: %1: cut %2 bytes of an incomplete record at the end\n")
                  .arg(path)
                  .arg(bytes));
    };
    return m_records.open(path, LogFile::Kind::Records, append, {}, error, announceCut);
}

void MeterChannel::start()
{
    // The first poll at once; then only poll() starts one.
    m_loop.TimerGetSd().setInterval(0);
    m_loop.setLinked(true);
}

void MeterChannel::poll()
{
    if (m_loop.isLinked() && !m_loop.tickRunning() && !m_loop.warningPending())
        m_loop.TimerGetSd().start(0);
}

bool MeterChannel::stop(QString* error)
{
    m_loop.setLinked(false);
    m_link.ClosePort();
    bool ok = true;
    if (m_records.isOpen() && !m_records.close(error))
        ok = false;
    if (m_mqtt)
        m_mqtt->stop();
    return ok;
}

bool MeterChannel::logRecord(const QDateTime& time, const TARecord& record, QString* error)
{
    if (m_records.isOpen()) {
        const auto bytes = encodeARecord(record);
        if (!m_records.write(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                             error))
            return false;
    }
    if (m_mqtt)
        m_mqtt->readingLogged(time, record);
    if (m_logged++ == 0)
        m_first = time;
    m_last = time;
    return true;
}

void MeterChannel::onReadingDecoded()
{
    const bool lowBattery = (m_loop.reading().dwRawFunction & kLowBatteryBit) != 0;
    m_throttle.readingDecoded(lowBattery);
    if (m_mqtt)
        m_mqtt->meterState({lowBattery, false});
    if (m_silent) {
        m_silent = false;
        print(m_err, QStringLiteral("dmm-log: %1 %2: readings flow again\n")
                         .arg(QString::fromStdString(isoLocalTime(QDateTime::currentDateTime())),
                              m_meter.name));
    }
    emit readingDecoded(this);
}

void MeterChannel::onWarning(AcquisitionLoop::Warning warning)
{
    const MeterWarning which = warning == AcquisitionLoop::Warning::NoData
                                   ? MeterWarning::NoData
                                   : MeterWarning::LowBattery;
    if (which == MeterWarning::NoData) {
        m_silent = true;
        if (m_mqtt)
            m_mqtt->meterState({false, true});
        emit fellSilent(this);
    }
    if (const int times = m_throttle.warn(which, std::chrono::milliseconds(m_clock.elapsed()));
        times > 0)
        print(m_err, meterWarningText(which, times, m_meter.name) + QLatin1Char('\n'));
    // The warning window's Continue, from the event loop as a click would come.
    QMetaObject::invokeMethod(
        this, [this] { m_loop.answerWarning(AcquisitionLoop::WarningAnswer::Continue); },
        Qt::QueuedConnection);
}

} // namespace dmm::logtool
