#include "shell/CTrafficLog.h"

#include "kit/CMyFunc.h"
#include "reader/CReaderEvents.h"

#include "QnReaderTypes.h"

#include <algorithm>

namespace {

enum Direction : std::int32_t { Received = 0, Sent = 1 };

} // namespace

CTrafficLog::CTrafficLog(Texts texts, Post post)
    : m_texts(std::move(texts))
    , m_post(std::move(post))
{
}

CTrafficLog::~CTrafficLog()
{
    for (const QMetaObject::Connection &connection : m_connections)
        QObject::disconnect(connection);
}

QStringList CTrafficLog::frameLines(
    const QString &label, const std::uint8_t *data, std::int32_t length)
{
    const int total = data != nullptr ? std::max(length, 0) : 0;
    QStringList lines;
    int offset = 0;
    while (total - offset > chunkSize) {
        lines.append(label + CMyFunc::bytesToSpacedHex(data + offset, chunkSize));
        offset += chunkSize;
    }
    const auto rest = static_cast<std::uint16_t>(total - offset);
    lines.append(label + u' ' + CMyFunc::bytesToSpacedHex(data + offset, rest));
    return lines;
}

void CTrafficLog::report(
    std::int32_t event, std::int32_t value, const std::uint8_t *data, std::int32_t length) const
{
    switch (event) {
    case QN_EVENT_LINK_LOST:
        m_post(m_texts.linkLost);
        break;
    case QN_EVENT_LINK_RESTORED:
        m_post(m_texts.linkRestored);
        break;
    case QN_EVENT_DATA:
        for (const QString &line :
            frameLines(value == Sent ? m_texts.sentLabel : m_texts.receivedLabel, data, length))
            m_post(line);
        break;
    default:
        break;
    }
}

void CTrafficLog::subscribe(CReaderEvents &events)
{
    // Direct: the lines keep the order of the library's events, whatever the user-interface
    // thread is doing.
    m_connections.append(QObject::connect(
        &events, &CReaderEvents::linkLost, &events,
        [this] { report(QN_EVENT_LINK_LOST, 0, nullptr, 0); }, Qt::DirectConnection));
    m_connections.append(QObject::connect(
        &events, &CReaderEvents::linkRestored, &events,
        [this] { report(QN_EVENT_LINK_RESTORED, 0, nullptr, 0); }, Qt::DirectConnection));
    m_connections.append(QObject::connect(
        &events, &CReaderEvents::trafficFrame, &events,
        [this](int direction, const QByteArray &frame) {
            report(QN_EVENT_DATA, direction,
                reinterpret_cast<const std::uint8_t *>(frame.constData()),
                static_cast<std::int32_t>(frame.size()));
        },
        Qt::DirectConnection));
}
