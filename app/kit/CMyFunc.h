#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// Utilities shared by every page: text conversion, the hexadecimal forms in which bytes are
// shown and typed, paths relative to the working directory, serial-port and network-address
// listings. Stateless; all functions are static and safe to call from any thread.
class CMyFunc {
public:
    // Narrow text is UTF-8 on Linux (what the reader libraries take as port names and addresses).
    static QByteArray toNarrow(const QString &wide);
    static QString toWide(const QByteArray &narrow);
    static QString toWide(const char *narrow);

    // Compact hex ("01AB") to bytes: floor(length / 2) bytes. A non-digit first character of a
    // pair gives high nibble 0; a non-digit second character makes the whole byte 0; an odd
    // last character is ignored.
    static QByteArray compactHexToBytes(QStringView text);
    // Spaced hex ("01 AB ") to bytes: floor(length / 3) bytes, pairs at 3i and 3i+1 with the
    // same rules; the separator is not looked at, so a text without the final space loses
    // its last byte.
    static QByteArray spacedHexToBytes(QStringView text);
    // One or two hex characters to a number with the same rules; any other length gives 0.
    static int shortHexToInt(QStringView text);
    // "%.2X " per byte; empty for count 0.
    static QString bytesToSpacedHex(const std::uint8_t *bytes, std::uint16_t count);
    static QString bytesToSpacedHex(const QByteArray &bytes);
    // "%.2X" per byte.
    static QString bytesToCompactHex(const std::uint8_t *bytes, std::uint16_t count);
    static QString bytesToCompactHex(const QByteArray &bytes);

    // Working directory (queried now) + "/" + relativePath.
    static QString makePath(const QString &relativePath);
    // Whether the file at makePath(relativePath) can be opened for reading.
    static bool fileExists(const QString &relativePath);

    // Serial ports with a real device behind them (<sysfsClassTty>/<name>/device exists), as
    // names such as "ttyS0" or "ttyUSB0" that QnCom_OpenDevice maps to /dev/<name>. Sorted by
    // name with numbers compared as numbers (ttyS2 before ttyS10), so list positions stay
    // stable between runs. Returns whether at least one port was found.
    static bool enumerateSerialPorts(
        QStringList &ports, const QString &sysfsClassTty = QStringLiteral("/sys/class/tty"));
    static bool lessByNaturalOrder(const QString &left, const QString &right);

    // Digit value of a hex character, or -1.
    static int hexDigitValue(QChar character);

private:
    static std::uint8_t hexPairToByte(QChar high, QChar low);
};
