// SPDX-License-Identifier: MIT
#include "TraceLoader.h"

namespace dmm {

void TraceLoader::start(Work work)
{
    if (busy())
        return;
    m_job.cancel = false;
    m_job.done = 0;
    const unsigned generation = ++m_generation;
    m_worker = std::thread([this, generation, work = std::move(work)] {
        work(m_job);
        // Posted: a cancelled load's notice finds another generation and is dropped.
        QMetaObject::invokeMethod(
            this, [this, generation] { finish(generation); }, Qt::QueuedConnection);
    });
}

void TraceLoader::cancel()
{
    if (!busy())
        return;
    m_job.cancel = true;
    m_worker.join();
    ++m_generation;
}

void TraceLoader::finish(unsigned generation)
{
    if (generation != m_generation || !busy())
        return;
    m_worker.join();
    emit ended();
}

} // namespace dmm
