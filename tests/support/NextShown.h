// SPDX-License-Identifier: MIT
// Waiting for a reading without waiting out a time-out when it is wrong: the
// wait ends as soon as anything new shows, and the caller compares that. A
// QTRY_COMPARE on a wrong reading waits its whole time-out, then twice as
// long again to report how long it would have needed.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTest>

// What `text()` reads once it no longer reads `before`, or `before` after
// `timeoutMs`.
template <typename Text>
QString nextShown(Text text, const QString& before = QString(), int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (text() == before && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return text();
}
