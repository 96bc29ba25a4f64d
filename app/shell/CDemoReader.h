#pragma once

#include <QString>

#include <cstdint>
#include <memory>

namespace readersim {
class VirtualReader;
}

// The reader of `tagbench --demo`: a virtual reader inside the process (a Fir reader unless
// another family is asked for), listening on a free loopback port, so the program can be
// tried without hardware.
class CDemoReader {
public:
    // family: a name or type byte the family table knows; empty: Fir.
    explicit CDemoReader(const QString &family = {});
    ~CDemoReader();
    CDemoReader(const CDemoReader &) = delete;
    CDemoReader &operator=(const CDemoReader &) = delete;

    static inline const QString address = QStringLiteral("127.0.0.1");
    QString portText() const { return QString::number(m_port); }

private:
    std::unique_ptr<readersim::VirtualReader> m_reader;
    std::uint16_t m_port = 0;
};
