// SPDX-License-Identifier: MIT
#include "BackgroundThread.h"

#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace dmm {

void runInBackground(const std::function<void()>& work, const std::function<void()>& tick)
{
    QEventLoop loop;
    QTimer ticker;
    ticker.setInterval(50);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] { tick(); });
    // The quit is posted, so it also ends the loop when the work is done
    // before the loop has started.
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    ticker.start();
    loop.exec();
    worker.join();
}

} // namespace dmm
