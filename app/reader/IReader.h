#pragma once

#include "param_records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tag_record.h"

using Bytes = std::vector<std::uint8_t>;
using SystemInfo = std::array<std::uint8_t, 10>;
// Year of the century, month, day, hour, minute, second.
using DeviceTime = std::array<std::uint8_t, 6>;
using AccessPassword = std::array<std::uint8_t, 4>;
using WhiteListEntry = std::array<std::uint8_t, 4>;

// The reader's three parameter records, each with the leading byte it is read with and that
// goes back unchanged with the next write: the model's, which the tools share.
using RecordKind = record::RecordKind;
using ParamRecord = record::ParamRecord;

// One answer-mode inventory: the tag records back to back (a length byte n and n body bytes
// each). `records` always holds the library's whole record buffer, zero past byteLength, so a
// walk bounded by the buffer never reads outside it.
struct InventoryResult {
    static constexpr std::size_t bufferSize = tagrecord::recordBytesLimit;
    Bytes records;
    std::uint16_t byteLength = 0;
    std::uint16_t count = 0;
};

// The records the reader keeps in its own cache, as it stores them.
struct DeviceCache {
    static constexpr std::size_t bufferSize = tagrecord::recordBytesLimit;
    std::uint16_t recordCount = 0;
    Bytes bytes;
};

// The commands pages use, with typed results: nothing (or false) when the reader did not
// answer or refused. Every buffer size is owned here, so pages never size library buffers.
// The program's implementation calls the library of the transport in use; tests script one.
// Calls may come from any thread; the reader worker makes them one after the other.
class IReader {
public:
    virtual ~IReader() = default;

    virtual std::optional<SystemInfo> systemInfo() = 0;

    // `length` record bytes (1..255).
    virtual std::optional<ParamRecord> readRecord(RecordKind kind, int length) = 0;
    // Writes record.bytes (1..255 of them) with record.lead.
    virtual bool writeRecord(RecordKind kind, const ParamRecord &record) = 0;
    // The reader's factory record (device and network records only).
    virtual bool defaultRecord(RecordKind kind) = 0;

    virtual std::optional<DeviceTime> readTime() = 0;
    virtual bool setTime(const DeviceTime &time) = 0;
    virtual std::optional<std::uint8_t> checkModule() = 0;
    // Byte 1: bit k set when antenna k + 1 is connected.
    virtual std::optional<std::array<std::uint8_t, 2>> checkAntennas() = 0;

    virtual std::optional<std::uint8_t> simState() = 0;
    virtual std::optional<std::array<std::uint8_t, 8>> gprsSignal() = 0;
    virtual std::optional<std::array<std::uint8_t, 64>> cellLocation() = 0;
    // 1024 bytes of GPS text.
    virtual std::optional<Bytes> gps() = 0;

    virtual std::optional<InventoryResult> inventory() = 0;
    // wordCount * 2 bytes of the bank.
    virtual std::optional<Bytes> readTag(const AccessPassword &password, std::uint8_t bank,
        std::uint8_t wordAddress, std::uint8_t wordCount)
        = 0;
    // data must hold wordCount * 2 bytes; a shorter one fails without sending.
    virtual bool writeTag(const AccessPassword &password, std::uint8_t bank,
        std::uint8_t wordAddress, std::uint8_t wordCount, std::span<const std::uint8_t> data)
        = 0;
    virtual bool writeEpc(
        const AccessPassword &password, std::span<const std::uint8_t> epc, std::uint8_t wordCount)
        = 0;
    virtual bool lockTag(const AccessPassword &password, std::uint8_t lockCode) = 0;

    virtual bool reboot() = 0;
    virtual bool relayOn() = 0;
    virtual bool relayOff() = 0;
    virtual bool startActiveMode() = 0;
    virtual bool stopActiveMode() = 0;

    // The white list from entry `start` on, as many entries as the reader puts in one answer.
    virtual std::optional<std::vector<WhiteListEntry>> readWhiteList(std::uint16_t start) = 0;
    // At most maxWhiteListWrite entries in one frame; more fail without sending.
    static constexpr std::size_t maxWhiteListWrite = 387;
    virtual bool writeWhiteList(std::span<const WhiteListEntry> entries) = 0;
    virtual bool deleteWhiteListEntry(const WhiteListEntry &entry) = 0;
    virtual bool clearWhiteList() = 0;
    virtual std::optional<DeviceCache> readCache() = 0;
    virtual bool clearCache() = 0;
    // One firmware block (a multiple of 16 bytes, at most 1536); with a password, the
    // password-guarded commands.
    virtual bool sendFirmwareBlock(const std::optional<AccessPassword> &password,
        std::uint16_t number, std::span<const std::uint8_t> block)
        = 0;
    virtual bool endFirmware(const std::optional<AccessPassword> &password) = 0;
};
