// The window's heartbeat for the stall benchmarks: a 1 ms timer in the GUI
// thread whose longest gap while an action runs is the time the window could
// not paint or take input, and the helpers that start an action from inside
// the event loop, the way a menu click starts it.
#ifndef WINDOWHEARTBEAT_H
#define WINDOWHEARTBEAT_H

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

// Ticks every millisecond and remembers the longest gap since the last reset.
class Heartbeat
{
public:
    Heartbeat()
    {
        _timer.setTimerType(Qt::PreciseTimer);
        _timer.setInterval(1);
        QObject::connect(&_timer, &QTimer::timeout, [this]() { tick(); });
        _timer.start();
        _clock.start();
    }

    void reset()
    {
        _last = _clock.nsecsElapsed();
        _longest = 0;
    }

    double longestMs() const
    {
        return std::max(_longest, _clock.nsecsElapsed() - _last) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = _clock.nsecsElapsed();
        _longest = std::max(_longest, now - _last);
        _last = now;
    }

    QTimer _timer;
    QElapsedTimer _clock;
    qint64 _last = 0;
    qint64 _longest = 0;
};

// Runs the event loop until done() holds (checked every few milliseconds) or
// the limit passes; false when the limit passed.
inline bool runUntil(const std::function<bool()>& done, int limitMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        if (done() || clock.elapsed() > limitMs)
            loop.quit();
    });
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

// Lets whatever the last action left queued (replots, deferred deletes) run.
inline void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Starts an action from inside the event loop and measures the longest stall
// until done() holds.
inline double measure(Heartbeat& heartbeat, const std::function<void()>& start, const std::function<bool()>& done)
{
    settle();
    heartbeat.reset();
    QTimer::singleShot(0, start);
    QCoreApplication::processEvents();
    if (!runUntil(done))
        std::fprintf(stderr, "action did not finish in time\n");
    return heartbeat.longestMs();
}

#endif // WINDOWHEARTBEAT_H
