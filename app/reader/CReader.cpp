#include "reader/CReader.h"

#include "reader/CReaderFacade.h"

#include <algorithm>

namespace {

constexpr std::size_t gpsTextSize = 1024;
constexpr int maxRecordLength = 255;

// Calls a library function that fills a fixed-size buffer; the value only on success.
template <typename Buffer, typename Call> std::optional<Buffer> filled(Call call)
{
    Buffer buffer {};
    if (call(buffer.data()) == 0)
        return std::nullopt;
    return buffer;
}

bool validLength(std::size_t length)
{
    return length >= 1 && length <= maxRecordLength;
}

} // namespace

CReader::CReader(CReaderFacade &facade)
    : m_facade(facade)
{
}

std::optional<SystemInfo> CReader::systemInfo()
{
    return filled<SystemInfo>(
        [this](std::uint8_t *out) { return m_facade.getDeviceSystemInfo(out); });
}

std::optional<ParamRecord> CReader::readRecord(RecordKind kind, int length)
{
    if (!validLength(static_cast<std::size_t>(length)))
        return std::nullopt;
    ParamRecord record;
    record.bytes.assign(static_cast<std::size_t>(length), 0);
    const auto size = static_cast<std::uint8_t>(length);
    int result = 0;
    switch (kind) {
    case RecordKind::Device:
        result = m_facade.readDeviceParam(&record.lead, record.bytes.data(), size);
        break;
    case RecordKind::Network:
        result = m_facade.readDeviceNetParam(&record.lead, record.bytes.data(), size);
        break;
    case RecordKind::Special:
        result = m_facade.readDeviceSpecialParam(&record.lead, record.bytes.data(), size);
        break;
    }
    if (result == 0)
        return std::nullopt;
    return record;
}

bool CReader::writeRecord(RecordKind kind, const ParamRecord &record)
{
    if (!validLength(record.bytes.size()))
        return false;
    const auto size = static_cast<std::uint8_t>(record.bytes.size());
    switch (kind) {
    case RecordKind::Device:
        return m_facade.setDeviceParam(record.lead, record.bytes.data(), size) != 0;
    case RecordKind::Network:
        return m_facade.setDeviceNetParam(record.lead, record.bytes.data(), size) != 0;
    case RecordKind::Special:
        return m_facade.setDeviceSpecialParam(record.lead, record.bytes.data(), size) != 0;
    }
    return false;
}

bool CReader::defaultRecord(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Device:
        return m_facade.defaultDeviceParam() != 0;
    case RecordKind::Network:
        return m_facade.defaultDeviceNetParam() != 0;
    case RecordKind::Special:
        break;
    }
    return false;
}

std::optional<DeviceTime> CReader::readTime()
{
    return filled<DeviceTime>([this](std::uint8_t *out) { return m_facade.readDeviceTime(out); });
}

bool CReader::setTime(const DeviceTime &time)
{
    return m_facade.setDeviceTime(time.data()) != 0;
}

std::optional<std::uint8_t> CReader::checkModule()
{
    const auto result = filled<std::array<std::uint8_t, 1>>(
        [this](std::uint8_t *out) { return m_facade.checkModule(out); });
    if (!result)
        return std::nullopt;
    return (*result)[0];
}

std::optional<std::array<std::uint8_t, 2>> CReader::checkAntennas()
{
    return filled<std::array<std::uint8_t, 2>>(
        [this](std::uint8_t *out) { return m_facade.checkAnt(out); });
}

std::optional<std::uint8_t> CReader::simState()
{
    const auto result = filled<std::array<std::uint8_t, 1>>(
        [this](std::uint8_t *out) { return m_facade.gprsGetSimState(out); });
    if (!result)
        return std::nullopt;
    return (*result)[0];
}

std::optional<std::array<std::uint8_t, 8>> CReader::gprsSignal()
{
    return filled<std::array<std::uint8_t, 8>>(
        [this](std::uint8_t *out) { return m_facade.gprsGetSignal(out); });
}

std::optional<std::array<std::uint8_t, 64>> CReader::cellLocation()
{
    return filled<std::array<std::uint8_t, 64>>(
        [this](std::uint8_t *out) { return m_facade.gprsGetLbs(out); });
}

std::optional<Bytes> CReader::gps()
{
    Bytes text(gpsTextSize, 0);
    if (m_facade.getGps(text.data()) == 0)
        return std::nullopt;
    return text;
}

std::optional<InventoryResult> CReader::inventory()
{
    InventoryResult result;
    result.records.assign(InventoryResult::bufferSize, 0);
    if (m_facade.inventoryG2(result.records.data(), &result.byteLength, &result.count) == 0)
        return std::nullopt;
    return result;
}

std::optional<Bytes> CReader::readTag(const AccessPassword &password, std::uint8_t bank,
    std::uint8_t wordAddress, std::uint8_t wordCount)
{
    Bytes data(static_cast<std::size_t>(wordCount) * 2, 0);
    if (m_facade.readCardG2(password.data(), bank, wordAddress, wordCount, data.data()) == 0)
        return std::nullopt;
    return data;
}

bool CReader::writeTag(const AccessPassword &password, std::uint8_t bank, std::uint8_t wordAddress,
    std::uint8_t wordCount, std::span<const std::uint8_t> data)
{
    if (data.size() < static_cast<std::size_t>(wordCount) * 2)
        return false;
    return m_facade.writeCardG2(password.data(), bank, wordAddress, wordCount, data.data()) != 0;
}

bool CReader::writeEpc(
    const AccessPassword &password, std::span<const std::uint8_t> epc, std::uint8_t wordCount)
{
    if (epc.size() < static_cast<std::size_t>(wordCount) * 2)
        return false;
    return m_facade.writeEpcG2(password.data(), epc.data(), wordCount) != 0;
}

bool CReader::lockTag(const AccessPassword &password, std::uint8_t lockCode)
{
    return m_facade.lockCardG2(password.data(), lockCode) != 0;
}

bool CReader::reboot()
{
    return m_facade.rebootDevice() != 0;
}

bool CReader::relayOn()
{
    return m_facade.relayOn() != 0;
}

bool CReader::relayOff()
{
    return m_facade.relayOff() != 0;
}

bool CReader::startActiveMode()
{
    return m_facade.startRead() != 0;
}

bool CReader::stopActiveMode()
{
    return m_facade.stopRead() != 0;
}

std::optional<std::vector<WhiteListEntry>> CReader::readWhiteList(std::uint16_t start)
{
    // The longest answer the library delivers carries this many entries.
    constexpr std::size_t mostEntries = 1452 / sizeof(WhiteListEntry);
    std::array<std::uint8_t, mostEntries * sizeof(WhiteListEntry)> buffer {};
    std::uint16_t count = start;
    if (m_facade.readWhiteList(buffer.data(), &count) == 0)
        return std::nullopt;
    std::vector<WhiteListEntry> entries(std::min<std::size_t>(count, mostEntries));
    for (std::size_t index = 0; index < entries.size(); ++index)
        std::copy_n(
            buffer.begin() + static_cast<std::ptrdiff_t>(index * 4), 4, entries[index].begin());
    return entries;
}

bool CReader::writeWhiteList(std::span<const WhiteListEntry> entries)
{
    if (entries.size() > maxWhiteListWrite)
        return false;
    Bytes bytes;
    bytes.reserve(entries.size() * sizeof(WhiteListEntry));
    for (const WhiteListEntry &entry : entries)
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    return m_facade.writeWhiteList(bytes.data(), static_cast<std::uint16_t>(entries.size())) != 0;
}

bool CReader::deleteWhiteListEntry(const WhiteListEntry &entry)
{
    return m_facade.deleteOneWhiteList(entry.data()) != 0;
}

bool CReader::clearWhiteList()
{
    return m_facade.deleteAllWhiteList() != 0;
}

std::optional<DeviceCache> CReader::readCache()
{
    DeviceCache cache;
    cache.bytes.assign(DeviceCache::bufferSize, 0);
    std::uint16_t byteLength = 0;
    if (m_facade.getDevCache(&cache.recordCount, cache.bytes.data(), &byteLength) == 0)
        return std::nullopt;
    cache.bytes.resize(std::min<std::size_t>(byteLength, DeviceCache::bufferSize));
    return cache;
}

bool CReader::clearCache()
{
    return m_facade.delDevCache() != 0;
}

bool CReader::sendFirmwareBlock(const std::optional<AccessPassword> &password, std::uint16_t number,
    std::span<const std::uint8_t> block)
{
    const auto length = static_cast<std::uint16_t>(block.size());
    if (password)
        return m_facade.upgradeDevDataIn(password->data(), length, number, block.data()) != 0;
    return m_facade.upgradeDevData(length, number, block.data()) != 0;
}

bool CReader::endFirmware(const std::optional<AccessPassword> &password)
{
    if (password)
        return m_facade.upgradeDevEndIn(password->data()) != 0;
    return m_facade.upgradeDevEnd() != 0;
}
