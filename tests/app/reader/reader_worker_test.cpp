// The reader worker: jobs run off the user-interface thread, in order, and hand their results
// back only to owners that still exist.
#include "page_test_kit.h"
#include "reader/CReaderWorker.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using pagetest::CScriptedReader;
using pagetest::waitUntil;

TEST(ReaderWorkerTest, AJobRunsOffTheUserInterfaceThreadAndReportsOnIt) {
    CScriptedReader reader;
    reader.answer("systemInfo", Bytes{0x23, 0x11, 0x50});
    CReaderWorker worker(reader);
    QObject page;
    QThread *jobThread = nullptr;
    QThread *doneThread = nullptr;
    std::optional<SystemInfo> shown;
    worker.submit(
        &page,
        [&](IReader &r) {
            jobThread = QThread::currentThread();
            return r.systemInfo();
        },
        [&](std::optional<SystemInfo> info) {
            doneThread = QThread::currentThread();
            shown = info;
        });
    ASSERT_TRUE(waitUntil([&] { return shown.has_value(); }));
    EXPECT_NE(jobThread, QCoreApplication::instance()->thread());
    EXPECT_EQ(doneThread, QCoreApplication::instance()->thread());
    EXPECT_EQ((*shown)[2], 0x50);
}

TEST(ReaderWorkerTest, JobsRunAndReportInSubmissionOrder) {
    CScriptedReader reader;
    CReaderWorker worker(reader);
    QObject page;
    std::vector<int> ran;
    std::vector<int> reported;
    for (int job = 0; job < 200; ++job)
        worker.submit(
            &page,
            [&ran, job](IReader &) {
                ran.push_back(job);
                return job;
            },
            [&reported](int result) { reported.push_back(result); });
    ASSERT_TRUE(waitUntil([&] { return reported.size() == 200; }));
    for (int job = 0; job < 200; ++job) {
        EXPECT_EQ(ran[std::size_t(job)], job);
        EXPECT_EQ(reported[std::size_t(job)], job);
    }
}

TEST(ReaderWorkerTest, AnOwnerDestroyedWhileItsJobRunsIsNotTouched) {
    CScriptedReader reader;
    std::atomic<bool> release{false};
    reader.answerWith("reboot", [&](const pagetest::ReaderCall &) {
        while (!release) QThread::msleep(1);
        return std::optional<Bytes>(Bytes{});
    });
    CReaderWorker worker(reader);
    auto page = std::make_unique<QObject>();
    bool reportedToDestroyed = false;
    worker.submit(
        page.get(), [](IReader &r) { return r.reboot(); },
        [&](bool) { reportedToDestroyed = true; });
    ASSERT_TRUE(waitUntil([&] { return worker.isBusy() && !reader.calls().empty(); }));
    page.reset();
    release = true;
    // A later job's report proves the earlier one has been delivered, or dropped.
    QObject survivor;
    bool later = false;
    worker.submit(
        &survivor, [](IReader &) {}, [&] { later = true; });
    ASSERT_TRUE(waitUntil([&] { return later; }));
    EXPECT_FALSE(reportedToDestroyed);
}

TEST(ReaderWorkerTest, TheEventLoopRunsWhileTheReaderTakesTwoSecondsToAnswer) {
    CScriptedReader reader;
    reader.answerWith("systemInfo", [](const pagetest::ReaderCall &) {
        QThread::msleep(2000);
        return std::optional<Bytes>(Bytes(10, 1));
    });
    CReaderWorker worker(reader);
    QObject page;
    int ticks = 0;
    int ticksWhenAnswered = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    worker.submit(
        &page, [](IReader &r) { return r.systemInfo(); },
        [&](std::optional<SystemInfo>) { ticksWhenAnswered = ticks; });
    ASSERT_TRUE(waitUntil([&] { return ticksWhenAnswered >= 0; }));
    // The window would have frozen for the whole answer if the call ran on this thread.
    EXPECT_GE(ticksWhenAnswered, 5);
}

TEST(ReaderWorkerTest, StopDropsWaitingJobsAndRefusesNewOnes) {
    CScriptedReader reader;
    std::atomic<bool> release{false};
    reader.answerWith("relayOn", [&](const pagetest::ReaderCall &) {
        while (!release) QThread::msleep(1);
        return std::optional<Bytes>(Bytes{});
    });
    CReaderWorker worker(reader);
    worker.post([](IReader &r) { r.relayOn(); });
    worker.post([](IReader &r) { r.relayOff(); });
    ASSERT_TRUE(waitUntil([&] { return !reader.calls().empty(); }));
    std::thread stopper([&] { worker.stop(); });
    // The job ends only once stop has dropped the waiting one.
    ASSERT_TRUE(waitUntil([&] { return !worker.isRunning(); }));
    release = true;
    stopper.join();
    worker.post([](IReader &r) { r.reboot(); });
    EXPECT_EQ(reader.calls().size(), 1u);
    EXPECT_FALSE(worker.isBusy());
}

}  // namespace
