#pragma once

#include <QObject>

#include <functional>

// The receiving half of a batch queue: a wake-up emitted on any thread runs the drain on the
// thread the object lives in. Qt's event queue carries only the wake-up, and the connection is
// made here, on the receiving thread, so a wake-up allocates nothing of ours on the poster's.
class CQueuedWake : public QObject {
    Q_OBJECT

public:
    explicit CQueuedWake(std::function<void()> drain);

    // Any thread.
    void wake() { emit woken(); }

signals:
    void woken();
};
