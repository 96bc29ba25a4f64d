#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class CReaderEvents;

// The traffic of the open connection as log lines: link events and every frame sent or
// received. It listens to the reader events on the library's own threads (the sending thread,
// the receive and monitor threads), so it only formats and posts; it never touches a widget
// or waits for another thread.
class CTrafficLog {
public:
    static constexpr int chunkSize = 38;

    struct Texts {
        QString sentLabel;
        QString receivedLabel;
        QString linkLost;
        QString linkRestored;
    };
    using Post = std::function<void(const QString &line)>;

    CTrafficLog(Texts texts, Post post);
    ~CTrafficLog();
    CTrafficLog(const CTrafficLog &) = delete;
    CTrafficLog &operator=(const CTrafficLog &) = delete;

    // The log lines of one frame: 38-byte chunks in spaced hex, each after the label; the last
    // chunk (also the only one of a short or empty frame) is set off by one more space.
    static QStringList frameLines(
        const QString &label, const std::uint8_t *data, std::int32_t length);

    // Posts the lines of one library event.
    void report(std::int32_t event, std::int32_t value, const std::uint8_t *data,
        std::int32_t length) const;

    // Posts the lines of every link event and frame the reader events report from now on,
    // until this object is destroyed.
    void subscribe(CReaderEvents &events);

private:
    Texts m_texts;
    Post m_post;
    QList<QMetaObject::Connection> m_connections;
};
