#include "shell/CTrafficLog.h"

#include "shell/CMyFunc.h"

#include <algorithm>
#include <atomic>

namespace {

// The library callback has no context argument, so it finds its log through this pointer.
std::atomic<CTrafficLog *> publishedLog{nullptr};

enum Event : std::int32_t { LinkRestored = 0, LinkLost = 1, Frame = 2 };
enum Direction : std::int32_t { Received = 0, Sent = 1 };

} // namespace

CTrafficLog::CTrafficLog(Texts texts, Post post)
    : m_texts(std::move(texts))
    , m_post(std::move(post))
{
}

CTrafficLog::~CTrafficLog()
{
    CTrafficLog *self = this;
    publishedLog.compare_exchange_strong(self, nullptr);
}

QStringList CTrafficLog::frameLines(const QString &label, const std::uint8_t *data,
                                    std::int32_t length)
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

void CTrafficLog::report(std::int32_t event, std::int32_t value, const std::uint8_t *data,
                         std::int32_t length) const
{
    switch (event) {
    case LinkLost:
        m_post(m_texts.linkLost);
        break;
    case LinkRestored:
        m_post(m_texts.linkRestored);
        break;
    case Frame:
        for (const QString &line :
             frameLines(value == Sent ? m_texts.sentLabel : m_texts.receivedLabel, data, length))
            m_post(line);
        break;
    default:
        break;
    }
}

void CTrafficLog::publish(CTrafficLog *log)
{
    publishedLog = log;
}

void CTrafficLog::callback(std::int32_t event, std::int32_t value, const std::uint8_t *data,
                           std::int32_t length, const std::uint8_t * /*serial7*/)
{
    if (const CTrafficLog *log = publishedLog.load())
        log->report(event, value, data, length);
}
