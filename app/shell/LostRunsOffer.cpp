// SPDX-License-Identifier: MIT
#include "LostRunsOffer.h"

#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "FileChecks.h"
#include "FileLocks.h"
#include "GraphicalForm.h"
#include "LostRunsQuestion.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

constexpr int kStrDeleteFailed = 9189;

} // namespace

LostRunsOffer::LostRunsOffer(TGraphicalForm* recorder, QString directory, QObject* parent)
    : QObject(parent), m_recorder(recorder), m_directory(std::move(directory))
{
    connect(m_recorder, &TGraphicalForm::fileSaved, this, &LostRunsOffer::onRecorderSaved);
}

LostRunsOffer::~LostRunsOffer()
{
    releaseOpenedRun();
}

void LostRunsOffer::offer()
{
    const QList<LostRun> runs = findLostRuns(m_directory);
    if (runs.isEmpty())
        return;
    switch (askAboutLostRuns(m_recorder, m_directory, runs)) {
    case LostRunsAnswer::OpenNewest:
        if (const auto newest = newestWithReadings(runs))
            openRun(*newest);
        break;
    case LostRunsAnswer::OpenAnother:
        if (const auto chosen = chooseLostRun(m_recorder, runs))
            openRun(*chosen);
        break;
    case LostRunsAnswer::Delete:
        if (confirmDeletingLostRuns(m_recorder, runs))
            deleteRuns(runs);
        break;
    case LostRunsAnswer::Leave:
        break;
    }
}

void LostRunsOffer::openRun(const LostRun& run)
{
    bringToFront(m_recorder);
    releaseOpenedRun();
    // Locked before it is read: a program starting meanwhile leaves it alone.
    holdOpenedRun(run.path);
    // The readings come in as an opened file does: unsaved, so closing asks.
    if (m_recorder->openFile(run.path))
        m_opened = run;
    else
        releaseOpenedRun();
}

void LostRunsOffer::holdOpenedRun(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    if (!lockExclusive(fd)) {
        ::close(fd); // another program took it first: it is not ours to keep
        return;
    }
    m_heldDescriptor = fd;
    m_heldPath = path;
    registerHeldFile(path, QStringLiteral("the lost run opened in the recorder"));
}

void LostRunsOffer::releaseOpenedRun()
{
    if (m_heldDescriptor < 0)
        return;
    forgetHeldFile(m_heldPath);
    ::close(std::exchange(m_heldDescriptor, -1));
    m_heldPath.clear();
}

void LostRunsOffer::deleteRuns(const QList<LostRun>& runs)
{
    QStringList failures;
    for (const LostRun& run : runs) {
        // A program that started meanwhile and holds the file keeps it.
        if (isHeldByAnotherProgram(run.path))
            continue;
        QFile file(run.path);
        if (!file.remove())
            failures << run.path + QStringLiteral(": ") + file.errorString();
    }
    if (!failures.isEmpty())
        ShowMsgBox(m_recorder, kStrErrorCaption, kStrDeleteFailed, QMessageBox::Ok,
                   QMessageBox::Critical, failures.join(QLatin1Char('\n')));
}

void LostRunsOffer::onRecorderSaved(const QString& savedPath)
{
    if (!m_opened)
        return;
    const LostRun run = *std::exchange(m_opened, std::nullopt);
    // Saved, or no longer in the buffer: either way the program no longer
    // keeps the only copy of the run's readings. The file stays locked while
    // the user is asked about it, so that no other program lists or deletes
    // it meanwhile; it is let go once the question is answered.
    const auto release = qScopeGuard([this] { releaseOpenedRun(); });
    // Saved onto the run's own file (by its name or through a link): that
    // file now holds the readings and is never offered for deletion.
    if (isSameFile(savedPath, run.path))
        return;
    // Only while the buffer still holds that run (not after a Clear and another file).
    const RecordBuffer& buffer = m_recorder->recordBuffer();
    const auto recordAt = [&buffer](qint64 i) { return buffer.at(static_cast<std::size_t>(i)); };
    if (!beginsWithRun(run, static_cast<qint64>(buffer.size()), recordAt) ||
        !QFile::exists(run.path) || !askDeletingSavedRun(m_recorder, run))
        return;
    // Deleted while still held, as the program's own temporary files are.
    QFile file(run.path);
    if (!file.remove())
        ShowMsgBox(m_recorder, kStrErrorCaption, kStrDeleteFailed, QMessageBox::Ok,
                   QMessageBox::Critical, run.path + QStringLiteral(": ") + file.errorString());
}

} // namespace dmm
