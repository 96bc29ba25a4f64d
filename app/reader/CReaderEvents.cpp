#include "reader/CReaderEvents.h"

#include "reader/CReaderFacade.h"

#include "QnReaderTypes.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// The library callbacks carry no context, so they find their owner through this pointer. A
// callback counts itself in before it looks the owner up, so an owner going away can wait until
// no callback runs in it any more (removing a callback does not wait for one in progress).
std::atomic<CReaderEvents *> owner { nullptr };
std::atomic<int> callbacksRunning { 0 };

template <typename Call> void withOwner(Call call)
{
    ++callbacksRunning;
    if (CReaderEvents *events = owner.load())
        call(*events);
    --callbacksRunning;
}

// No report is longer than a frame; a larger length would be a library fault.
constexpr std::int32_t maxReportLength = 1560;

} // namespace

CReaderEvents::CReaderEvents(CReaderFacade &reader, QObject *parent)
    : QObject(parent)
    , m_reader(reader)
    , m_reports([this] { drainReports(); })
{
    qRegisterMetaType<CActiveReport>();
    qRegisterMetaType<QList<CActiveReport>>();
    owner = this;
}

CReaderEvents::~CReaderEvents()
{
    CReaderEvents *self = this;
    owner.compare_exchange_strong(self, nullptr);
    // Callbacks never wait for this thread, so these end soon.
    while (callbacksRunning.load() > 0)
        std::this_thread::yield();
}

void CReaderEvents::setTrafficEnabled(bool enabled)
{
    m_trafficEnabled = enabled;
    m_reader.setCallbackDebug(enabled ? &CReaderEvents::trafficCallback : nullptr);
}

void CReaderEvents::setReportsEnabled(bool enabled)
{
    m_reportsEnabled = enabled;
    m_reader.setCallback(enabled ? &CReaderEvents::applicationCallback : nullptr);
}

void CReaderEvents::setReportsReceiver(const QObject *receiver)
{
    m_reportsReceiver = receiver;
    setReportsEnabled(receiver != nullptr);
}

void CReaderEvents::notifyConnection(bool open)
{
    emit connectionChanged(open);
}

void CReaderEvents::onApplicationEvent(std::int32_t event, std::int32_t value,
    const std::uint8_t *data, std::int32_t length, const std::uint8_t *serial7)
{
    if (event != QN_EVENT_DATA) {
        // The library tells both callbacks of a link event; with both registered the traffic
        // callback's report is the one passed on.
        if (!m_trafficEnabled)
            emitLinkEvent(event);
        return;
    }
    CActiveReport report;
    report.tagCount = value;
    report.length = std::clamp(length, 0, maxReportLength);
    report.receiver = m_reportsReceiver.load();
    if (data != nullptr)
        report.records = QByteArray(reinterpret_cast<const char *>(data), report.length);
    if (serial7 != nullptr)
        std::memcpy(report.serial.data(), serial7, report.serial.size());
    m_reports.push(std::move(report));
}

void CReaderEvents::onTrafficEvent(
    std::int32_t event, std::int32_t value, const std::uint8_t *data, std::int32_t length)
{
    if (event != QN_EVENT_DATA) {
        emitLinkEvent(event);
        return;
    }
    const int size = data != nullptr ? std::max(length, 0) : 0;
    emit trafficFrame(
        value == Sent ? Sent : Received, QByteArray(reinterpret_cast<const char *>(data), size));
}

void CReaderEvents::emitLinkEvent(std::int32_t event)
{
    if (event == QN_EVENT_LINK_LOST)
        emit linkLost();
    else if (event == QN_EVENT_LINK_RESTORED)
        emit linkRestored();
}

void CReaderEvents::drainReports()
{
    const QList<CActiveReport> batch = m_reports.take().items;
    if (!batch.isEmpty())
        emit reportsArrived(batch);
}

void CReaderEvents::applicationCallback(std::int32_t event, std::int32_t value,
    const std::uint8_t *data, std::int32_t length, const std::uint8_t *serial7)
{
    withOwner([&](CReaderEvents &events) {
        events.onApplicationEvent(event, value, data, length, serial7);
    });
}

void CReaderEvents::trafficCallback(std::int32_t event, std::int32_t value,
    const std::uint8_t *data, std::int32_t length, const std::uint8_t * /*serial7*/)
{
    withOwner([&](CReaderEvents &events) { events.onTrafficEvent(event, value, data, length); });
}
