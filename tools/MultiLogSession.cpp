// SPDX-License-Identifier: MIT
#include "MultiLogSession.h"

#include <algorithm>

#include "FileChecks.h"
#include "LogLines.h"
#include "LogSession.h"
#include "MeterTable.h"
#include "PowerMessage.h"
#include "SiUnits.h"
#include "StringTable.h"

namespace dmm::logtool {

namespace {

using namespace std::chrono_literals;

constexpr int kRoundMs = 500;
constexpr auto kLongestWait = 1h;

void print(std::FILE* stream, const QString& text)
{
    std::fputs(fileNameBytes(text).constData(), stream);
    std::fflush(stream);
}

void print(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

} // namespace

QString outputsProblem(const LogOptions& options)
{
    QList<std::pair<QString, bool>> outputs; // path, is a record file
    if (!options.outPath.isEmpty()) {
        if (options.meters.size() > 1)
            for (const MeterPort& meter : options.meters)
                outputs.append({meterFilePath(options.outPath, meter.name), true});
        else
            outputs.append({options.outPath, true});
    }
    if (!options.csvPath.isEmpty())
        outputs.append({options.csvPath, false});
    for (const auto& [path, isRecordFile] : outputs) {
        for (const MeterPort& meter : options.meters) {
            if (const QString problem = outputPathProblem(path, isRecordFile, options.append,
                                                          options.table, meter.port);
                !problem.isEmpty())
                return problem;
        }
    }
    return {};
}

MultiLogSession::MultiLogSession(LogOptions options, std::FILE* out, std::FILE* err,
                                 QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_out(out), m_err(err)
{
    for (const MeterPort& meter : m_options.meters) {
        auto channel = std::make_unique<MeterChannel>(meter, m_err);
        connect(channel.get(), &MeterChannel::readingDecoded, this,
                &MultiLogSession::onReadingDecoded);
        connect(channel.get(), &MeterChannel::tickFinished, this, &MultiLogSession::onTickFinished);
        connect(channel.get(), &MeterChannel::fellSilent, this,
                [this](MeterChannel* silent) { m_watchers.meterSilent(silent->meter().name); });
        m_channels.push_back(std::move(channel));
    }
    m_round.resize(m_channels.size());
    m_pending.assign(m_channels.size(), false);
    m_powerWarned.assign(m_channels.size(), false);
    if (m_options.power)
        m_power.emplace();
    m_tick.setInterval(kRoundMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &MultiLogSession::onTick);
    m_interval.setInterval(m_options.intervalSeconds * 1000);
    connect(&m_interval, &QTimer::timeout, this, [this] { m_logNextRound = true; });
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_durationTimer, &QTimer::timeout, this, &MultiLogSession::armDurationTimer);
}

MultiLogSession::~MultiLogSession() = default;

int MultiLogSession::indexOf(const MeterChannel* channel) const
{
    for (std::size_t i = 0; i < m_channels.size(); ++i)
        if (m_channels[i].get() == channel)
            return int(i);
    return -1;
}

bool MultiLogSession::openOutputs()
{
    QString error;
    if (!m_options.outPath.isEmpty()) {
        for (const auto& channel : m_channels) {
            const QString path = meterFilePath(m_options.outPath, channel->meter().name);
            if (!channel->openRecords(path, m_options.append, &error)) {
                printError(error);
                return false;
            }
        }
    }
    if (m_options.csvPath.isEmpty())
        return true;
    if (!m_csv.open(m_options.csvPath, LogFile::Kind::Lines, false, m_options.table, &error)) {
        printError(error);
        return false;
    }
    QStringList names;
    for (const MeterPort& meter : m_options.meters)
        names << meter.name;
    if (!m_csv.write(meterTableHeader(names, m_power.has_value(), m_options.table), &error)) {
        printError(error);
        return false;
    }
    return true;
}

int MultiLogSession::start()
{
    QStringList reading;
    for (const auto& channel : m_channels) {
        QString detail;
        if (!channel->openPort(&detail)) {
            printError(channel->meter().name + QStringLiteral(": ") +
                       messageCaption(kStrErrorCaption, 9001) + QLatin1Char(' ') +
                       tableString(9001) +
                       (detail.isEmpty() ? QString() : QLatin1Char(' ') + detail));
            for (const auto& opened : m_channels)
                opened->stop(nullptr);
            return kExitPort;
        }
        reading << QStringLiteral("%1=%2 (%3)")
                       .arg(channel->meter().name, channel->meter().port, channel->devicePath());
    }
    QStringList names;
    for (const MeterPort& meter : m_options.meters)
        names << meter.name;
    QString metricsError;
    // The metrics' port is taken first: a port in use leaves no file behind.
    if (!m_watchers.startMetrics(names, &metricsError)) {
        printError(metricsError);
        for (const auto& channel : m_channels)
            channel->stop(nullptr);
        return kExitFailure;
    }
    bool ok = openOutputs();
    if (ok && m_options.mqtt) {
        // Each meter under its own PREFIX/NAME/...
        for (const auto& channel : m_channels) {
            LogOptions one = m_options;
            one.port = channel->meter().port;
            one.mqtt->name = channel->meter().name;
            one.outPath = m_options.outPath.isEmpty()
                              ? QString()
                              : meterFilePath(m_options.outPath, channel->meter().name);
            QString error;
            auto publisher = startLogPublisher(one, m_err, &error);
            if (!publisher) {
                printError(error);
                ok = false;
                break;
            }
            channel->setPublisher(std::move(publisher));
        }
    }
    if (!ok) {
        // Nothing was logged: whatever the close says changes nothing.
        for (const auto& channel : m_channels)
            channel->stop(nullptr);
        m_csv.close();
        return kExitFailure;
    }

    QStringList targets;
    if (!m_options.outPath.isEmpty())
        for (const MeterPort& meter : m_options.meters)
            targets << meterFilePath(m_options.outPath, meter.name);
    if (!m_options.csvPath.isEmpty())
        targets << m_options.csvPath;
    if (!m_options.quiet)
        targets << QStringLiteral("standard output");
    if (m_options.metrics)
        targets << m_watchers.metricsUrl();
    print(m_err, QStringLiteral("dmm-log: reading %1 %2, logging to %3\n")
                     .arg(reading.join(QStringLiteral(", ")),
                          m_options.intervalSeconds > 0
                              ? QStringLiteral("every %1 s").arg(m_options.intervalSeconds)
                              : QStringLiteral("at Full Speed"),
                          targets.join(QStringLiteral(", "))));

    std::vector<MeterWatchers::Meter> watched;
    for (const auto& channel : m_channels)
        watched.push_back({channel->meter().name, channel->publisher()});
    m_watchers.start(watched, names.join(u'_'));
    if (m_options.duration) {
        m_deadline = QDeadlineTimer(*m_options.duration, Qt::PreciseTimer);
        armDurationTimer();
    }
    m_running = true;
    // The first round at once, as the recorder's Start logs the first reading.
    m_roundLogged = true;
    m_logNextRound = m_options.intervalSeconds == 0;
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        m_pending[i] = true;
        m_channels[i]->start();
    }
    m_service.portOpened(m_rows);
    m_tick.start();
    if (m_options.intervalSeconds > 0)
        m_interval.start();
    return kExitOk;
}

void MultiLogSession::armDurationTimer()
{
    if (m_deadline.hasExpired()) {
        stop(kExitOk);
        return;
    }
    const auto remaining = std::chrono::milliseconds(m_deadline.remainingTime());
    m_durationTimer.start(std::min<std::chrono::milliseconds>(remaining, kLongestWait));
}

void MultiLogSession::onTick()
{
    if (!m_running)
        return;
    // A meter still answering an earlier poll gives its reading to this round.
    endRound();
    m_roundLogged = m_logNextRound;
    if (m_options.intervalSeconds > 0)
        m_logNextRound = false;
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        if (m_channels[i]->polling())
            continue;
        m_pending[i] = true;
        m_channels[i]->poll();
    }
}

void MultiLogSession::onReadingDecoded(MeterChannel* channel)
{
    const int i = indexOf(channel);
    if (i < 0)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const auto record = makeLogRecord(channel->reading(), now);
    if (record)
        m_watchers.readingDecoded(channel->meter().name, *record);
    if (!m_running || !m_roundLogged || !record)
        return;
    if (m_round[i])
        endRound(); // never two readings of one meter in a row
    QString error;
    if (!channel->logRecord(now, *record, &error)) {
        printError(error);
        stopSoon(kExitFailure);
        return;
    }
    m_watchers.readingLogged(channel->meter().name, now, *record);
    m_round[i] = Cell{now, *record};
}

void MultiLogSession::onTickFinished(MeterChannel* channel)
{
    m_service.tickFinished(m_rows);
    const int i = indexOf(channel);
    if (i < 0 || !m_pending[i])
        return;
    m_pending[i] = false;
    if (std::none_of(m_pending.begin(), m_pending.end(), [](bool p) { return p; }))
        endRound();
}

void MultiLogSession::endRound()
{
    if (std::any_of(m_round.begin(), m_round.end(), [](const auto& cell) { return cell; }) &&
        m_running && !writeRow())
        stopSoon(kExitFailure);
    for (auto& cell : m_round)
        cell.reset();
}

void MultiLogSession::warnPower(int meter, bool otherFunction)
{
    if (!otherFunction || m_powerWarned[meter])
        return;
    m_powerWarned[meter] = true;
    const bool volts = meter == m_options.power->volts;
    const TARecord& record = m_round[meter]->record;
    print(m_err, QStringLiteral("dmm-log: %1 shows %2, not %3: the power stays empty while it "
                                "does (told once)\n")
                     .arg(m_options.meters[meter].name,
                          QString::fromStdString(functionName(record.function)).isEmpty()
                              ? QStringLiteral("no unit")
                              : QString::fromStdString(functionName(record.function)),
                          volts ? QStringLiteral("DC V") : QStringLiteral("DC A")));
}

bool MultiLogSession::writeRow()
{
    QDateTime time;
    std::vector<const TARecord*> cells;
    for (const auto& cell : m_round) {
        cells.push_back(cell ? &cell->record : nullptr);
        if (cell && (!time.isValid() || cell->time < time))
            time = cell->time;
    }
    std::optional<PowerRow> power;
    if (m_power) {
        const int v = m_options.power->volts;
        const int a = m_options.power->amperes;
        const PowerInput volts = powerInput(cells[v], MeterFunction::DcVolts);
        const PowerInput amperes = powerInput(cells[a], MeterFunction::DcAmperes);
        warnPower(v, volts.otherFunction);
        warnPower(a, amperes.otherFunction);
        power = m_power->add(time.toMSecsSinceEpoch(), volts.value, amperes.value);
    }
    QString error;
    if (m_csv.isOpen()) {
        const std::string timeText =
            m_options.table.utc ? utcIsoText(time.toMSecsSinceEpoch(), true) : isoLocalTime(time);
        std::string row(std::size_t(maxMeterTableRow(int(cells.size()))), '\0');
        char* end = writeMeterTableRow(row.data(), timeText, cells, power ? &*power : nullptr,
                                       m_options.table);
        row.resize(std::size_t(end - row.data()));
        if (!m_csv.write(row, &error)) {
            printError(error);
            return false;
        }
    }
    if (!m_options.quiet) {
        for (std::size_t i = 0; i < m_round.size(); ++i)
            if (m_round[i])
                print(m_out, m_options.meters[int(i)].name.toStdString() + "  " +
                                 consoleLine(m_round[i]->time, m_round[i]->record));
        if (power && power->watts)
            print(m_out, "power  " + powerNumberText(*power->watts, {}) + " W  " +
                             powerNumberText(power->wattHours, {}) + " Wh  " +
                             powerNumberText(power->ampereHours, {}) + " Ah\n");
    }
    // PREFIX/power in the volt meter's queue, after its reading.
    if (power && m_options.mqtt)
        if (MqttPublisher* publisher = m_channels[std::size_t(m_options.power->volts)]->publisher())
            publisher->queueMessage(powerTopic(m_options.mqtt->url.prefix),
                                    powerPayload(m_rows + 1, time, *power));
    ++m_rows;
    if (m_options.count && m_rows >= *m_options.count)
        stopSoon(kExitOk);
    return true;
}

void MultiLogSession::stopSoon(int status)
{
    m_running = false;
    QMetaObject::invokeMethod(
        this, [this, status] { stop(status); }, Qt::QueuedConnection);
}

void MultiLogSession::stop(int status)
{
    if (m_stopping)
        return;
    // The round under way is written as it stands.
    if (m_running)
        endRound();
    m_stopping = true;
    m_running = false;
    m_service.stopping();
    m_tick.stop();
    m_interval.stop();
    m_durationTimer.stop();
    m_watchers.stopPublishing();
    for (const auto& channel : m_channels) {
        QString error;
        if (!channel->stop(&error)) {
            printError(error);
            status = kExitFailure;
        }
    }
    QString error;
    if (m_csv.isOpen() && !m_csv.close(&error)) {
        printError(error);
        status = kExitFailure;
    }
    for (const auto& channel : m_channels)
        print(m_err, "dmm-log: " + channel->meter().name.toStdString() + ": " +
                         summaryText(channel->logged(), channel->first(), channel->last()) + '\n');
    if (!m_options.csvPath.isEmpty())
        print(m_err, QStringLiteral("dmm-log: %1 rows in %2\n").arg(m_rows).arg(m_options.csvPath));
    m_watchers.finish([this, status] { emit finished(status); });
}

void MultiLogSession::printError(const QString& text)
{
    print(m_err, QStringLiteral("dmm-log: ") + text + QLatin1Char('\n'));
}

} // namespace dmm::logtool
