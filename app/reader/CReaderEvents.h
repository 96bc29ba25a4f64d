#pragma once

#include "reader/CBatchQueue.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>

#include <array>
#include <atomic>
#include <cstdint>

class CReaderFacade;

// One active-mode report as the library handed it over: the tag count, the record bytes (the
// report's length field counts 12 bytes more than the records) and the reporting reader.
struct CActiveReport {
    int tagCount = 0;
    int length = 0;
    QByteArray records;
    std::array<std::uint8_t, 7> serial {};
    // Who held the application callback when the library handed the report over.
    const QObject *receiver = nullptr;
};

// The one owner of the reader libraries' two callbacks (the libraries take no user pointer,
// so only one object may hold them). It turns them into signals:
// - linkLost / linkRestored and trafficFrame are emitted on the library's thread: a receiver
//   that lives on the user-interface thread gets them queued there (the default connection);
//   a direct connection runs on the library's thread and must return at once;
// - active-mode reports are copied on the library's thread and handed to the user-interface
//   thread in batches (one queued drain per batch, in order, nothing dropped): reportsArrived.
// The library's thread never waits for the user-interface thread.
class CReaderEvents : public QObject {
    Q_OBJECT

public:
    enum Direction : int { Received = 0, Sent = 1 };

    explicit CReaderEvents(CReaderFacade &reader, QObject *parent = nullptr);
    ~CReaderEvents() override;

    // Registers (or removes) the traffic callback with the library of the transport in use.
    void setTrafficEnabled(bool enabled);
    // Registers (or removes) the application callback: active-mode reports flow while set.
    void setReportsEnabled(bool enabled);
    bool reportsEnabled() const { return m_reportsEnabled; }
    // The library keeps one application callback: registering for `receiver` moves the
    // reports to it (they carry it), nullptr removes the callback for everyone.
    void setReportsReceiver(const QObject *receiver);

    // The main window tells when a connection opened (with the reader's type byte) or closed.
    void notifyConnection(bool open);

    // What the library callbacks do; public so that tests can play a library.
    void onApplicationEvent(std::int32_t event, std::int32_t value, const std::uint8_t *data,
        std::int32_t length, const std::uint8_t *serial7);
    void onTrafficEvent(
        std::int32_t event, std::int32_t value, const std::uint8_t *data, std::int32_t length);

signals:
    void linkLost();
    void linkRestored();
    void trafficFrame(int direction, const QByteArray &frame);
    void reportsArrived(const QList<CActiveReport> &reports);
    void connectionChanged(bool open);

private:
    static void applicationCallback(std::int32_t event, std::int32_t value,
        const std::uint8_t *data, std::int32_t length, const std::uint8_t *serial7);
    static void trafficCallback(std::int32_t event, std::int32_t value, const std::uint8_t *data,
        std::int32_t length, const std::uint8_t *serial7);
    void emitLinkEvent(std::int32_t event);
    void drainReports();

    CReaderFacade &m_reader;
    std::atomic<bool> m_trafficEnabled { false };
    std::atomic<bool> m_reportsEnabled { false };
    std::atomic<const QObject *> m_reportsReceiver { nullptr };
    // Unbounded: no report is dropped.
    CBatchQueue<CActiveReport> m_reports;
};

Q_DECLARE_METATYPE(CActiveReport)
