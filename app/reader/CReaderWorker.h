#pragma once

#include "reader/CCallQueue.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class IReader;

// Runs page operations off the user-interface thread: one thread, jobs one after the other in
// the order they were submitted. A job makes all the reader calls of one operation (with its
// pauses) and returns a value; the value is handed back on the user-interface thread, and only
// when the object that asked for it still exists. Jobs must not touch widgets.
class CReaderWorker {
public:
    explicit CReaderWorker(IReader &reader);
    // Finishes the running job; jobs still waiting are dropped and report nothing.
    ~CReaderWorker();
    CReaderWorker(const CReaderWorker &) = delete;
    CReaderWorker &operator=(const CReaderWorker &) = delete;

    // Runs job(reader) on the worker thread, then done(result) on the user-interface thread
    // while `owner` exists. Must be called on the user-interface thread.
    template <typename Job, typename Done> void submit(QObject *owner, Job job, Done done)
    {
        using Result = std::invoke_result_t<Job, IReader &>;
        QPointer<QObject> guard(owner);
        enqueue([this, guard, job = std::move(job), done = std::move(done)]() mutable {
            if constexpr (std::is_void_v<Result>) {
                job(m_reader);
                deliver([guard, done = std::move(done)]() mutable {
                    if (guard)
                        done();
                });
            } else {
                Result result = job(m_reader);
                deliver([guard, done = std::move(done), result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                });
            }
        });
    }

    // Runs a job whose outcome nobody waits for.
    void post(std::function<void(IReader &)> job);

    // Ends the thread after the running job; later submissions are dropped.
    void stop();
    // Whether a job is running or waiting.
    bool isBusy() const;
    // False once stop() was called.
    bool isRunning() const;

private:
    void enqueue(std::function<void()> job);
    void deliver(std::function<void()> onUserInterface);
    void run();

    IReader &m_reader;
    // Lives on the user-interface thread; results are queued to it.
    std::unique_ptr<CCallQueue> m_results;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobWaiting;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = true;
    bool m_jobRunning = false;
    std::thread m_thread;
};
