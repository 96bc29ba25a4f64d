#pragma once

#include "reader/IReader.h"

class CReaderFacade;

// IReader over the library of the transport in use.
class CReader final : public IReader {
public:
    explicit CReader(CReaderFacade &facade);

    std::optional<SystemInfo> systemInfo() override;
    std::optional<ParamRecord> readRecord(RecordKind kind, int length) override;
    bool writeRecord(RecordKind kind, const ParamRecord &record) override;
    bool defaultRecord(RecordKind kind) override;
    std::optional<DeviceTime> readTime() override;
    bool setTime(const DeviceTime &time) override;
    std::optional<std::uint8_t> checkModule() override;
    std::optional<std::array<std::uint8_t, 2>> checkAntennas() override;
    std::optional<std::uint8_t> simState() override;
    std::optional<std::array<std::uint8_t, 8>> gprsSignal() override;
    std::optional<std::array<std::uint8_t, 64>> cellLocation() override;
    std::optional<Bytes> gps() override;
    std::optional<InventoryResult> inventory() override;
    std::optional<Bytes> readTag(const AccessPassword &password, std::uint8_t bank,
        std::uint8_t wordAddress, std::uint8_t wordCount) override;
    bool writeTag(const AccessPassword &password, std::uint8_t bank, std::uint8_t wordAddress,
        std::uint8_t wordCount, std::span<const std::uint8_t> data) override;
    bool writeEpc(const AccessPassword &password, std::span<const std::uint8_t> epc,
        std::uint8_t wordCount) override;
    bool lockTag(const AccessPassword &password, std::uint8_t lockCode) override;
    bool reboot() override;
    bool relayOn() override;
    bool relayOff() override;
    bool startActiveMode() override;
    bool stopActiveMode() override;
    std::optional<std::vector<WhiteListEntry>> readWhiteList(std::uint16_t start) override;
    bool writeWhiteList(std::span<const WhiteListEntry> entries) override;
    bool deleteWhiteListEntry(const WhiteListEntry &entry) override;
    bool clearWhiteList() override;
    std::optional<DeviceCache> readCache() override;
    bool clearCache() override;
    bool sendFirmwareBlock(const std::optional<AccessPassword> &password, std::uint16_t number,
        std::span<const std::uint8_t> block) override;
    bool endFirmware(const std::optional<AccessPassword> &password) override;

private:
    CReaderFacade &m_facade;
};
