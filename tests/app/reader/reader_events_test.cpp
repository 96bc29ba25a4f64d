// The reader events against the virtual reader over TCP: link events reach subscribers on the
// user-interface thread, active-mode reports arrive complete and in order in batches, and a
// connection closed or an events object destroyed while reports flow ends cleanly.
#include "page_test_kit.h"
#include "reader/CReaderEvents.h"
#include "reader_model.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;
using pagetest::CVirtualReaderSession;
using pagetest::waitUntil;

// A record without its last byte (the signal strength, which may change between sightings).
QByteArray recordKey(const CActiveReport &report) {
    const int length = report.records.isEmpty() ? 0 : static_cast<unsigned char>(report.records[0]);
    return report.records.mid(0, length);
}

TEST(ReaderEventsTest, LinkLostAndRestoredReachSubscribersOnTheUserInterfaceThread) {
    CVirtualReaderSession session("fir");
    ASSERT_TRUE(session.isOpen());
    CReaderEvents events(session.facade());
    QObject subscriber;
    QList<QThread *> lostOn;
    QList<QThread *> restoredOn;
    QObject::connect(&events, &CReaderEvents::linkLost, &subscriber,
                     [&] { lostOn.append(QThread::currentThread()); });
    QObject::connect(&events, &CReaderEvents::linkRestored, &subscriber,
                     [&] { restoredOn.append(QThread::currentThread()); });
    events.setTrafficEnabled(true);

    session.virtualReader().unplug();
    ASSERT_TRUE(waitUntil([&] { return !lostOn.isEmpty(); }));
    session.virtualReader().replug();
    ASSERT_TRUE(waitUntil([&] { return !restoredOn.isEmpty(); }));
    events.setTrafficEnabled(false);
    for (QThread *thread : lostOn + restoredOn)
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

TEST(ReaderEventsTest, AHundredThousandReportsArriveInOrderAndComplete) {
    constexpr int fieldTags = 7;
    constexpr qsizetype reportCount = 100000;
    CVirtualReaderSession session("fir", fieldTags);
    ASSERT_TRUE(session.isOpen());
    CReaderEvents events(session.facade());
    QList<CActiveReport> received;
    int batches = 0;
    QObject::connect(&events, &CReaderEvents::reportsArrived, &events,
                     [&](const QList<CActiveReport> &batch) {
                         ++batches;
                         received.append(batch);
                         if (received.size() >= reportCount) session.virtualReader().stopActive();
                     });
    events.setReportsEnabled(true);
    session.virtualReader().startActive(10us, 1);
    ASSERT_TRUE(waitUntil([&] { return received.size() >= reportCount; }, 120s));
    events.setReportsEnabled(false);

    // One tag per report, the field's tags in turn: every report repeats the one seven before.
    for (qsizetype index = fieldTags; index < reportCount; ++index) {
        ASSERT_EQ(received[index].tagCount, 1) << index;
        ASSERT_EQ(recordKey(received[index]), recordKey(received[index - fieldTags])) << index;
    }
    EXPECT_LT(batches, reportCount);
}

TEST(ReaderEventsTest, ClosingWhileReportsFlowEndsCleanly) {
    CVirtualReaderSession session("fir", 20);
    ASSERT_TRUE(session.isOpen());
    auto events = std::make_unique<CReaderEvents>(session.facade());
    qsizetype received = 0;
    QObject::connect(events.get(), &CReaderEvents::reportsArrived, events.get(),
                     [&](const QList<CActiveReport> &batch) { received += batch.size(); });
    events->setReportsEnabled(true);
    session.virtualReader().startActive(20us, 4);
    ASSERT_TRUE(waitUntil([&] { return received > 1000; }));
    session.facade().closeDevice();
    events.reset();
    QCoreApplication::processEvents();
    session.virtualReader().stopActive();
    SUCCEED();
}

// The library may be inside a callback at any moment: the events object must not go while one
// still runs in it. Each round destroys it while reports flow at full speed.
TEST(ReaderEventsTest, DestroyedWhileReportsFlowIsLeftByEveryCallback) {
    CVirtualReaderSession session("fir", 20);
    ASSERT_TRUE(session.isOpen());
    session.virtualReader().startActive(20us, 4);
    for (int round = 0; round < 20; ++round) {
        auto events = std::make_unique<CReaderEvents>(session.facade());
        qsizetype received = 0;
        QObject::connect(events.get(), &CReaderEvents::reportsArrived, events.get(),
                         [&](const QList<CActiveReport> &batch) { received += batch.size(); });
        events->setReportsEnabled(true);
        ASSERT_TRUE(waitUntil([&] { return received > 0; }));
        events.reset();
    }
    session.virtualReader().stopActive();
}

}  // namespace
