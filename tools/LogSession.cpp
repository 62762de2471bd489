// SPDX-License-Identifier: MIT
#include "LogSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FileChecks.h"
#include "LogLines.h"
#include "MeterChannel.h"
#include "PortAdvice.h"
#include "StringTable.h"

namespace dmm::logtool {

namespace {

using namespace std::chrono_literals;

constexpr int kFullSpeedMs = 500;
// The duration timer is armed in steps, as a QTimer holds only about 24 days.
constexpr auto kLongestWait = 1h;

void print(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

// A text that holds file names: a name's bytes that are no UTF-8 go out as
// they are, as the system knows the file.
void print(std::FILE* stream, const QString& text)
{
    print(stream, fileNameBytes(text).toStdString());
}

} // namespace

LogSession::LogSession(LogOptions options, std::FILE* out, std::FILE* err, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_out(out), m_err(err), m_loop(&m_link)
{
    TimerLogger.setInterval(m_options.intervalSeconds > 0 ? m_options.intervalSeconds * 1000
                                                          : kFullSpeedMs);
    connect(&TimerLogger, &QTimer::timeout, this, [this] { logTickPending = true; });
    connect(&m_loop, &AcquisitionLoop::readingDecoded, this, &LogSession::onReadingDecoded);
    connect(&m_loop, &AcquisitionLoop::warningRequested, this, &LogSession::onWarning);
    connect(&m_loop, &AcquisitionLoop::tickFinished, this,
            [this] { m_service.tickFinished(m_logged); });
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_durationTimer, &QTimer::timeout, this, &LogSession::armDurationTimer);
}

LogSession::~LogSession()
{
    m_loop.setLinked(false);
}

bool LogSession::openPort(QString* detail)
{
    return openMeterPort(m_link, m_options.port, m_portDirectory, detail);
}

bool LogSession::openOutputs()
{
    QString error;
    const auto open = [&](LogFile& file, const QString& path, LogFile::Kind kind) {
        if (path.isEmpty())
            return true;
        // Said before the cut is made.
        const auto announceCut = [&](qint64 bytes) {
            print(m_err,
                  QStringLiteral("dmm-log: %1: cut %2 bytes of an incomplete %3 at the end\n")
                      .arg(path)
                      .arg(bytes)
                      .arg(kind == LogFile::Kind::Records ? QStringLiteral("record")
                                                          : QStringLiteral("line")));
        };
        // A CSV of another separator, decimal mark or time form is not
        // appended to.
        if (!file.open(path, kind, m_options.append, m_options.table, &error, announceCut)) {
            printError(error);
            return false;
        }
        return true;
    };
    if (!open(m_records, m_options.outPath, LogFile::Kind::Records) ||
        !open(m_csv, m_options.csvPath, LogFile::Kind::Lines))
        return false;
    if (m_csv.isOpen() && m_csv.size() == 0 && !m_csv.write(csvHeader(m_options.table), &error)) {
        printError(error);
        return false;
    }
    // Statistics per interval; a row that cannot be written ends the run.
    if (!m_options.statsPath.isEmpty()) {
        m_stats = std::make_unique<LogStats>(m_options.statsEvery, m_options.table);
        connect(m_stats.get(), &LogStats::failed, this, [this](const QString& error) {
            printError(error);
            stopSoon(kExitFailure);
        });
        if (!m_stats->open(m_options.statsPath, &error)) {
            printError(error);
            m_stats.reset();
            return false;
        }
    }
    return true;
}

int LogSession::start()
{
    QString detail;
    if (!openPort(&detail)) {
        printError(messageCaption(kStrErrorCaption, 9001) + QLatin1Char(' ') + tableString(9001) +
                   (detail.isEmpty() ? QString() : QLatin1Char(' ') + detail));
        return kExitPort;
    }
    QString mqttError;
    // The metrics' port is taken first: a port in use leaves no file behind.
    if (!m_watchers.startMetrics({meterName()}, &mqttError) || !openOutputs() ||
        (m_options.mqtt && !(m_mqtt = startLogPublisher(m_options, m_err, &mqttError)))) {
        if (!mqttError.isEmpty())
            printError(mqttError);
        // Nothing was logged: whatever the close says changes nothing.
        m_records.close();
        m_csv.close();
        if (QString unused; m_stats)
            m_stats->close(QDateTime::currentDateTime(), &unused);
        m_link.ClosePort();
        return kExitFailure;
    }

    if (m_stats && m_mqtt)
        m_stats->setRowListener([this](const std::string& json) { m_mqtt->statsRow(json); });
    QStringList targets;
    for (const QString& path : {m_options.outPath, m_options.csvPath, m_options.statsPath})
        if (!path.isEmpty())
            targets << path;
    if (!m_options.quiet)
        targets << QStringLiteral("standard output");
    if (m_options.metrics)
        targets << m_watchers.metricsUrl();
    print(m_err, QStringLiteral("dmm-log: reading %1 (%2) %3, logging to %4\n")
                     .arg(m_options.port, m_link.devicePath(),
                          m_options.intervalSeconds > 0
                              ? QStringLiteral("every %1 s").arg(m_options.intervalSeconds)
                              : QStringLiteral("at Full Speed"),
                          targets.join(QStringLiteral(", "))));

    m_watchers.start({{meterName(), m_mqtt.get()}}, meterName());
    m_clock.start();
    if (m_options.duration) {
        m_deadline = QDeadlineTimer(*m_options.duration, Qt::PreciseTimer);
        armDurationTimer();
    }
    m_running = true;
    m_loop.setLinked(true);
    m_service.portOpened(m_logged);
    // As the recorder's Start: the first reading is logged without waiting an interval.
    TimerLogger.start();
    logTickPending = true;
    return kExitOk;
}

QString LogSession::meterName() const
{
    return m_options.mqtt ? m_options.mqtt->name : QFileInfo(m_options.port).fileName();
}

void LogSession::armDurationTimer()
{
    if (m_deadline.hasExpired()) {
        stop(kExitOk);
        return;
    }
    const auto remaining = std::chrono::milliseconds(m_deadline.remainingTime());
    m_durationTimer.start(std::min<std::chrono::milliseconds>(remaining, kLongestWait));
}

void LogSession::onReadingDecoded()
{
    const bool lowBattery = (m_loop.reading().dwRawFunction & kLowBatteryBit) != 0;
    m_throttle.readingDecoded(lowBattery);
    if (m_mqtt)
        m_mqtt->meterState({lowBattery, false});
    if (m_watchers.wantsDecodedReadings()) {
        if (const auto record = makeLogRecord(m_loop.reading(), QDateTime::currentDateTime()))
            m_watchers.readingDecoded(meterName(), *record);
    }
    if (m_service.readingDecoded(m_logged))
        print(m_err,
              "dmm-log: " + isoLocalTime(QDateTime::currentDateTime()) + " readings flow again\n");
    // What the recorder does with the 1026 the loop posts while a tick is pending.
    if (!m_running || !logTickPending)
        return;
    logTickPending = false;
    logReading();
}

void LogSession::logReading()
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto record = makeLogRecord(m_loop.reading(), now);
    if (!record)
        return;
    QString error;
    if (m_records.isOpen()) {
        const auto bytes = encodeARecord(*record);
        if (!m_records.write(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                             &error)) {
            printError(error);
            stopSoon(kExitFailure);
            return;
        }
        ++m_inRecords;
    }
    if (m_csv.isOpen() && !m_csv.write(csvLine(now, *record, m_options.table), &error)) {
        printError(error);
        stopSoon(kExitFailure);
        return;
    }
    if (m_stats && !m_stats->add(now, *record, &error)) {
        printError(error);
        stopSoon(kExitFailure);
        return;
    }
    if (!m_options.quiet)
        print(m_out, consoleLine(now, *record));
    m_watchers.readingLogged(meterName(), now, *record);
    if (m_mqtt)
        m_mqtt->readingLogged(now, *record);
    if (m_logged++ == 0)
        m_first = now;
    m_last = now;
    if (m_options.count && m_logged >= *m_options.count)
        stopSoon(kExitOk);
}

void LogSession::onWarning(AcquisitionLoop::Warning warning)
{
    const MeterWarning which = warning == AcquisitionLoop::Warning::NoData
                                   ? MeterWarning::NoData
                                   : MeterWarning::LowBattery;
    if (which == MeterWarning::NoData) {
        m_service.meterSilent(m_logged);
        if (m_mqtt)
            m_mqtt->meterState({false, true});
        m_watchers.meterSilent(meterName());
    }
    const int times = m_throttle.warn(which, std::chrono::milliseconds(m_clock.elapsed()));
    if (times > 0)
        print(m_err, meterWarningText(which, times).toStdString() + '\n');
    // The warning window's Continue, from the event loop as a click would come.
    QMetaObject::invokeMethod(
        this, [this] { m_loop.answerWarning(AcquisitionLoop::WarningAnswer::Continue); },
        Qt::QueuedConnection);
}

void LogSession::stopSoon(int status)
{
    m_running = false;
    if (!m_stopAsked.isValid())
        m_stopAsked = QDateTime::currentDateTime(); // the statistics' end
    QMetaObject::invokeMethod(
        this, [this, status] { stop(status); }, Qt::QueuedConnection);
}

void LogSession::stop(int status)
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_running = false;
    if (!m_stopAsked.isValid())
        m_stopAsked = QDateTime::currentDateTime();
    m_service.stopping();
    m_loop.setLinked(false);
    TimerLogger.stop();
    m_durationTimer.stop();
    m_link.ClosePort();
    // A last sync that fails means the readings may not be on the disk.
    for (LogFile* file : {&m_records, &m_csv}) {
        QString error;
        if (file->isOpen() && !file->close(&error)) {
            printError(error);
            status = kExitFailure;
        }
    }
    if (QString error; m_stats && !m_stats->close(m_stopAsked, &error)) {
        printError(error);
        status = kExitFailure;
    }
    m_watchers.stopPublishing();
    if (m_mqtt)
        m_mqtt->stop(); // "offline", after the files are closed
    // The summary counts readings that are in every output; the record file
    // may hold one more when the CSV refused it.
    print(m_err, "dmm-log: " + summaryText(m_logged, m_first, m_last) + '\n');
    if (!m_options.outPath.isEmpty() && !m_options.csvPath.isEmpty() && m_inRecords != m_logged)
        print(m_err, QStringLiteral("dmm-log: %1 holds %2, %3 holds %4\n")
                         .arg(m_options.outPath, QString::fromStdString(readingsText(m_inRecords)),
                              m_options.csvPath, QString::fromStdString(readingsText(m_logged))));
    m_watchers.finish([this, status] { emit finished(status); });
}

void LogSession::printError(const QString& text)
{
    print(m_err, QStringLiteral("dmm-log: ") + text + QLatin1Char('\n'));
}

} // namespace dmm::logtool
