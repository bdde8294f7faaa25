#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

// Runs the event loop until the condition holds or the limit has passed;
// answers the condition.
template <typename Predicate> bool waitUntil(Predicate done, int limitMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
