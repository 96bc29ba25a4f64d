#pragma once

#include <QObject>

#include <functional>
#include <mutex>
#include <vector>

// Calls handed over from any thread and run, in the order they came, on the thread this object
// lives in; calls still waiting when it is destroyed are dropped. The calls wait in a list under
// a mutex and Qt's event queue carries only a wake-up: a worker never waits for the
// user-interface thread, and the hand-over is a synchronisation ThreadSanitizer can see (Qt's own
// queue synchronises inside the uninstrumented Qt library, so data carried by a queued call
// looked unsynchronised to it).
class CCallQueue : public QObject {
    Q_OBJECT

public:
    explicit CCallQueue(QObject *parent = nullptr);

    // Any thread.
    void post(std::function<void()> call);

signals:
    // Emitted by post on the posting thread; queued to this object's thread.
    void callsWaiting();

private:
    void runCalls();

    std::mutex m_mutex;
    std::vector<std::function<void()>> m_calls;
    bool m_wakeQueued = false;
};
