// SPDX-License-Identifier: MIT
// One load at a time on a worker thread, for a window that must stay alive
// meanwhile: the work runs off the UI thread and `ended` comes on it once the
// work is done. A cancelled load never ends: its results are not to be read.
#pragma once

#include <QObject>

#include <functional>
#include <thread>

#include "JobControl.h"

namespace dmm {

class TraceLoader : public QObject
{
    Q_OBJECT
public:
    using Work = std::function<void(JobControl&)>;

    explicit TraceLoader(QObject* parent = nullptr) : QObject(parent) {}
    ~TraceLoader() override { cancel(); }

    // Starts `work`, which must not touch widgets nor throw; nothing else may
    // be running.
    void start(Work work);
    // Stops the work in hand and waits for it to end; no `ended` follows.
    void cancel();
    bool busy() const { return m_worker.joinable(); }

signals:
    void ended();

private:
    void finish(unsigned generation);

    std::thread m_worker;
    JobControl m_job;
    unsigned m_generation = 0;
};

} // namespace dmm
