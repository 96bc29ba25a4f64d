#include "reader_model.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <utility>

#include "command_table.h"
#include "frame.h"
#include "hex_text.h"
#include "param_records.h"

namespace readersim {

namespace {

using qn::Command;

constexpr uint8_t kWriteMarker = 0x55;
constexpr uint8_t kWorkModeActive = 1;
constexpr int64_t kSessionAuto = 4;
constexpr int kPowerBelowMaximum = 4;
constexpr size_t kPasswordSize = 4;
constexpr int kUsChannels = 50;
constexpr int kEuChannels = 15;
constexpr size_t kUpgradeBlockLimit = 1536;

Password passwordAt(std::span<const uint8_t> data, size_t offset) {
    return {data[offset], data[offset + 1], data[offset + 2], data[offset + 3]};
}

// A device record field the reader itself acts on: every family keeps it at the same place.
const record::Field &deviceField(std::string_view name) {
    return *record::find(record::deviceRecord, name);
}

uint8_t numberAt(const Bytes &body, std::string_view name) {
    return static_cast<uint8_t>(std::get<int64_t>(record::decode(deviceField(name), body)));
}

void putNumber(Bytes &body, std::string_view name, uint8_t value) {
    record::encode(deviceField(name), int64_t{value}, body);
}

// A record holding the values, every other byte 0.
Bytes recordBody(const record::RecordTable &table, const record::Values &values, Family family) {
    Bytes body(ReaderModel::kRecordCapacity, 0);
    record::encode(table, values, family, body);
    return body;
}

bool validBank(uint8_t bank) {
    return bank <= static_cast<uint8_t>(Bank::User);
}

// The channel pair of the frequency bytes: region bits 00/10 select the US plan and 01/00
// the European one; both channel numbers must exist in the plan.
bool validChannelPair(uint8_t upper, uint8_t lower) {
    const int region = (upper >> 6) << 2 | (lower >> 6);
    const int channels = region == 2 ? kUsChannels : region == 4 ? kEuChannels : 0;
    return (upper & 0x3F) < channels && (lower & 0x3F) < channels;
}

// Generated tags past the first eight, every second one, carry a GS1 SGTIN-96 EPC (filter 1,
// company prefix 0614141, item 812345, serial n), so GS1 identities show up in a busy field;
// the first eight, the ones tests and single-tag jobs reach, keep the plain EPC.
constexpr uint32_t kFirstGs1Tag = 9;

bool carriesSgtin(uint32_t n) {
    return n >= kFirstGs1Tag && n % 2 == 0;
}

// Header 0x30, filter 1, partition 5 (7-digit company prefix: 24 bits, item reference: 20
// bits), then the 38-bit serial; n never reaches the serial's top 6 bits.
std::array<uint8_t, 12> sgtin96(uint32_t serial) {
    const uint64_t high = uint64_t{0x30} << 56 | uint64_t{1} << 53 | uint64_t{5} << 50 |
                          uint64_t{614141} << 26 | uint64_t{812345} << 6;
    std::array<uint8_t, 12> epc{};
    for (int i = 0; i < 8; ++i)
        epc[static_cast<size_t>(i)] = static_cast<uint8_t>(high >> (56 - 8 * i));
    for (int i = 0; i < 4; ++i)
        epc[static_cast<size_t>(8 + i)] = static_cast<uint8_t>(serial >> (24 - 8 * i));
    return epc;
}

}  // namespace

ReaderModel::ReaderModel(uint8_t type, int tagCount) {
    serial = {type, 0x20, 0x26, 0x12, 0x08, 0x00, 0x01};
    setType(type);
    for (int i = 0; i < tagCount; ++i) addGeneratedTag();
}

void ReaderModel::setType(uint8_t newType) {
    serial[0] = newType;
    connectedAntennas = static_cast<uint8_t>((1u << antennaCount()) - 1);
    restoreDeviceDefaults();
    restoreNetDefaults();
    restoreSpecialDefaults();
}

// Factory values of the device record: the table's, then those that depend on the type.
Bytes ReaderModel::defaultDeviceBody() const {
    record::Values values = record::defaultValues(record::deviceRecord, family());
    values["rf_power_dbm"] = int64_t{traits().maxPowerDbm - kPowerBelowMaximum};
    if (traits().sessionHasAuto) values["session"] = kSessionAuto;
    for (int antenna = 1; antenna <= antennaCount(); ++antenna)
        values[record::antennaField(antenna)] = true;
    return recordBody(record::deviceRecord, values, family());
}

uint8_t ReaderModel::address() const {
    return numberAt(deviceRecord.body, "rs485_address");
}

uint8_t ReaderModel::workMode() const {
    return numberAt(deviceRecord.body, "work_mode");
}

void ReaderModel::restoreDeviceDefaults() {
    const uint8_t previousMode = deviceRecord.body.empty() ? 0 : workMode();
    deviceRecord = ParamRecord{0x01, defaultDeviceBody()};
    followWorkMode(previousMode);
}

void ReaderModel::restoreNetDefaults() {
    record::Values values = record::defaultValues(record::networkRecord, family());
    // A locally administered address derived from the serial number.
    const std::array<uint8_t, 6> mac{0x02, 0x1A, 0x86, serial[4], serial[5], serial[6]};
    values["mac"] = hextext::compact(mac);
    netRecord = ParamRecord{0x02, recordBody(record::networkRecord, values, family())};
}

void ReaderModel::restoreSpecialDefaults() {
    specialRecord = ParamRecord{
        0x03, recordBody(record::specialRecord,
                         record::defaultValues(record::specialRecord, family()), family())};
}

bool ReaderModel::cacheEnabled() const {
    const record::Field *cache = record::find(record::specialRecord, "cache");
    return std::get<bool>(record::decode(*cache, specialRecord.body));
}

std::array<uint8_t, 6> ReaderModel::clock() const {
    const auto now = std::chrono::system_clock::now() + clockOffset_;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    return {static_cast<uint8_t>(parts.tm_year % 100), static_cast<uint8_t>(parts.tm_mon + 1),
            static_cast<uint8_t>(parts.tm_mday),       static_cast<uint8_t>(parts.tm_hour),
            static_cast<uint8_t>(parts.tm_min),        static_cast<uint8_t>(parts.tm_sec)};
}

bool ReaderModel::setClock(std::span<const uint8_t> b) {
    if (b.size() != 6) return false;
    if (b[0] > 99 || b[1] < 1 || b[1] > 12 || b[2] < 1 || b[2] > 31 || b[3] > 23 || b[4] > 59 ||
        b[5] > 59)
        return false;
    std::tm parts{};
    parts.tm_year = 100 + b[0];
    parts.tm_mon = b[1] - 1;
    parts.tm_mday = b[2];
    parts.tm_hour = b[3];
    parts.tm_min = b[4];
    parts.tm_sec = b[5];
    const std::time_t wanted = timegm(&parts);
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    clockOffset_ = std::chrono::seconds(wanted - now);
    return true;
}

size_t ReaderModel::addGeneratedTag() {
    const uint32_t n = ++generatedTags_;
    const uint8_t epc[12] = {0xE2,
                             0x00,
                             0x00,
                             0x17,
                             0x22,
                             0x0A,
                             0x01,
                             0x00,
                             static_cast<uint8_t>(n >> 24),
                             static_cast<uint8_t>(n >> 16),
                             static_cast<uint8_t>(n >> 8),
                             static_cast<uint8_t>(n)};
    const uint8_t tid[12] = {0xE2,
                             0x80,
                             0x11,
                             0x05,
                             0x20,
                             0x00,
                             0x7A,
                             0x3C,
                             static_cast<uint8_t>(n >> 24),
                             static_cast<uint8_t>(n >> 16),
                             static_cast<uint8_t>(n >> 8),
                             static_cast<uint8_t>(n)};
    const std::array<uint8_t, 12> sgtin = sgtin96(n);
    VirtualTag tag(
        carriesSgtin(n) ? std::span<const uint8_t>(sgtin) : std::span<const uint8_t>(epc), tid);
    tag.antenna = static_cast<int>((n - 1) % static_cast<uint32_t>(antennaCount())) + 1;
    tag.rssi = static_cast<uint8_t>(0xB0 + (n * 7) % 0x30);
    tags.push_back(std::move(tag));
    return tags.size() - 1;
}

bool ReaderModel::tagVisible(const VirtualTag &tag) const {
    if (tag.antenna < 1 || tag.antenna > antennaCount()) return false;
    // Families without an antenna mask read on every antenna they have.
    const record::Field *enabled =
        record::find(record::deviceRecord, record::antennaField(tag.antenna), family());
    return enabled == nullptr || std::get<bool>(record::decode(*enabled, deviceRecord.body));
}

VirtualTag *ReaderModel::firstVisibleTag() {
    for (VirtualTag &tag : tags)
        if (tagVisible(tag)) return &tag;
    return nullptr;
}

Bytes ReaderModel::tagRecord(const VirtualTag &tag) {
    const Bytes body = tag.recordBody();
    Bytes record;
    record.reserve(body.size() + 1);
    record.push_back(static_cast<uint8_t>(body.size()));
    record.insert(record.end(), body.begin(), body.end());
    return record;
}

std::optional<Bytes> ReaderModel::answer(const Request &request) {
    if (killed) return std::nullopt;
    const Reply reply = dispatch(request);
    const uint8_t from = request.address == 0xFF ? address() : request.address;
    Bytes frame(reply.data.size() + 8);
    if (qn::buildResponse(from, request.command, reply.status, reply.data, frame) == 0)
        return std::nullopt;
    return frame;
}

ReaderModel::Reply ReaderModel::dispatch(const Request &request) {
    const std::span<const uint8_t> data = request.data;
    const bool network = traits().hasNetwork;
    switch (static_cast<Command>(request.command)) {
        case Command::InventoryG2:
            return inventory();
        case Command::ReadCardG2:
            return readTag(data);
        case Command::WriteCardG2:
            return writeTag(data);
        case Command::WriteEPCG2:
            return writeEpc(data);
        case Command::LockCardG2:
            return lockTag(data);
        case Command::SetFreq:
            return setFrequency(data);
        case Command::GetDeviceSystemInfo:
            return systemInfo();
        case Command::SetDeviceSystemInfo:
            return setSystemInfo(data);
        case Command::ReadDeviceID:
            return readDeviceId(data);
        case Command::SetDeviceID:
            return setDeviceId(data);
        case Command::ReadDeviceParam:
            return readRecord(deviceRecord, deviceRecordSize(), 1);
        case Command::SetDeviceParam: {
            const uint8_t previousMode = workMode();
            Reply reply = writeRecord(deviceRecord, data, 1);
            followWorkMode(previousMode);
            return reply;
        }
        case Command::DefaultDeviceParam:
            restoreDeviceDefaults();
            return {};
        case Command::ReadDeviceOneParam:
            return readOneParam(data);
        case Command::SetDeviceOneParam:
            return setOneParam(data);
        case Command::ReadDeviceNetParam:
            return network ? readRecord(netRecord, readerfamily::networkRecord.read, 2) : failure();
        case Command::SetDeviceNetParam:
            return network ? writeRecord(netRecord, data, 2) : failure();
        case Command::DefaultDeviceNetParam:
            if (!network) return failure();
            restoreNetDefaults();
            return {};
        case Command::ReadDeviceTime: {
            const auto now = clock();
            return {1, Bytes(now.begin(), now.end())};
        }
        case Command::SetDeviceTime:
            return setClock(data) ? Reply{} : failure();
        case Command::ReadTransState:
            return {1, {transState()}};
        case Command::ReadDeviceSpecialParam:
            return network ? readRecord(specialRecord, readerfamily::specialRecord.read, 1)
                           : failure();
        case Command::SetDeviceSpecialParam:
            return network ? writeRecord(specialRecord, data, 1) : failure();
        case Command::RebootDevice:
            reboot();
            return {};
        case Command::UpgradeDevData:
            return upgradeBlock(data, false);
        case Command::UpgradeDevEnd:
            return upgradeEnd(data, false);
        case Command::DeviceSelfKill:
            return selfKill(data);
        case Command::UpgradeDevDataIn:
            return upgradeBlock(data, true);
        case Command::UpgradeDevEndIn:
            return upgradeEnd(data, true);
        case Command::StopRead:
            activeRunning = false;
            return {};
        case Command::StartRead:
            activeRunning = true;
            return {};
        case Command::GetDevCache:
            return cache();
        case Command::DelDevCache:
            cacheRecords.clear();
            return {};
        case Command::ReadWhiteList:
            return readWhiteList(data);
        case Command::WriteWhiteList:
            return writeWhiteList(data);
        case Command::DeleteAllWhiteList:
            whiteList.clear();
            return {};
        case Command::DeleteOneWhiteList:
            return deleteOneWhiteListEntry(data);
        case Command::RelayOn:
        case Command::RelayOff:
            if (!traits().hasRelay) return failure();
            relayClosed = request.command == static_cast<uint8_t>(Command::RelayOn);
            return {};
        case Command::CheckModule:
            return {1, {moduleStatus}};
        case Command::CheckAnt:
            return checkAntennas();
        case Command::GPRSGetSIMState:
            return traits().hasGprs ? Reply{1, {simState}} : failure();
        case Command::GPRSGetSignal:
            return fixedText(signalText, kSignalTextSize);
        case Command::GPRSGetLBS:
            return fixedText(lbsText, kLbsTextSize);
        case Command::GetGPS:
            return fixedText(gpsText, kGpsTextSize);
        case Command::ActiveReport:
            break;
    }
    return failure();  // not a command this reader knows
}

// --- tags ---

void ReaderModel::scriptPasses(FieldPasses passes) {
    passes.looksEach = std::max(passes.looksEach, 1);
    passes.gapLooks = std::max(passes.gapLooks, 0);
    passes_ = std::move(passes);
    tags.clear();
    looksLeft_ = 0;
}

void ReaderModel::passGeneratedTagsInTurn(int count, int looksEach, int gapLooks) {
    tags.clear();
    for (int tag = 0; tag < count; ++tag) addGeneratedTag();
    FieldPasses line;
    line.coming = std::move(tags);
    line.looksEach = looksEach;
    line.gapLooks = gapLooks;
    line.repeat = true;
    scriptPasses(std::move(line));
}

void ReaderModel::look() {
    if (!passes_) return;
    FieldPasses &script = *passes_;
    if (looksLeft_ == 0 && !tags.empty()) {
        script.passed.push_back(std::move(tags.front()));
        tags.clear();
        looksLeft_ = script.gapLooks;
    }
    if (looksLeft_ == 0) {
        if (script.coming.empty() && script.repeat) script.coming.swap(script.passed);
        if (!script.coming.empty()) {
            tags.push_back(std::move(script.coming.front()));
            script.coming.erase(script.coming.begin());
            looksLeft_ = script.looksEach;
        }
    }
    if (looksLeft_ > 0) --looksLeft_;
}

ReaderModel::Reply ReaderModel::inventory() {
    look();
    Reply reply{1, {0, 0}};
    uint16_t count = 0;
    const size_t total = tags.size();
    size_t considered = 0;
    for (; considered < total && count < inventoryRecords; ++considered) {
        const VirtualTag &tag = tags[(nextInventoryTag_ + considered) % total];
        if (!tagVisible(tag)) continue;
        const Bytes record = tagRecord(tag);
        if (reply.data.size() + record.size() > kMaxAnswerData) break;
        reply.data.insert(reply.data.end(), record.begin(), record.end());
        ++count;
    }
    // A field that fits in one answer is answered in the same order every time.
    nextInventoryTag_ = considered < total ? (nextInventoryTag_ + considered) % total : 0;
    reply.data[0] = static_cast<uint8_t>(count >> 8);
    reply.data[1] = static_cast<uint8_t>(count);
    if (count == 0) reply.status = 0;  // no tag answered the inventory
    return reply;
}

ReaderModel::Reply ReaderModel::readTag(std::span<const uint8_t> data) {
    if (data.size() != 7 || !validBank(data[0])) return failure();
    look();
    VirtualTag *tag = firstVisibleTag();
    if (tag == nullptr) return failure();
    Reply reply;
    if (tag->read(static_cast<Bank>(data[0]), data[1], data[2], passwordAt(data, 3), reply.data) !=
        AccessResult::Ok)
        return failure();
    return reply;
}

ReaderModel::Reply ReaderModel::writeTag(std::span<const uint8_t> data) {
    if (data.size() < 7 || !validBank(data[0])) return failure();
    const size_t wordCount = data[2];
    if (data.size() != 7 + 2 * wordCount) return failure();
    VirtualTag *tag = firstVisibleTag();
    if (tag == nullptr) return failure();
    const AccessResult result =
        tag->write(static_cast<Bank>(data[0]), data[1], data.subspan(7), passwordAt(data, 3));
    return result == AccessResult::Ok ? Reply{} : failure();
}

ReaderModel::Reply ReaderModel::writeEpc(std::span<const uint8_t> data) {
    if (data.size() < 5) return failure();
    const size_t wordCount = data[0];
    if (data.size() != 5 + 2 * wordCount) return failure();
    VirtualTag *tag = firstVisibleTag();
    if (tag == nullptr) return failure();
    return tag->writeEpc(data.subspan(5), passwordAt(data, 1)) == AccessResult::Ok ? Reply{}
                                                                                   : failure();
}

ReaderModel::Reply ReaderModel::lockTag(std::span<const uint8_t> data) {
    if (data.size() != 5) return failure();
    VirtualTag *tag = firstVisibleTag();
    if (tag == nullptr) return failure();
    return tag->lock(data[0], passwordAt(data, 1)) == AccessResult::Ok ? Reply{} : failure();
}

ReaderModel::Reply ReaderModel::setFrequency(std::span<const uint8_t> data) {
    if (data.size() != 2 || !validChannelPair(data[0], data[1])) return failure();
    putNumber(deviceRecord.body, "frequency_upper", data[0]);
    putNumber(deviceRecord.body, "frequency_lower", data[1]);
    return {};
}

// --- identity ---

ReaderModel::Reply ReaderModel::systemInfo() const {
    Reply reply{1, {firmwareVersion, hardwareVersion}};
    reply.data.insert(reply.data.end(), serial.begin(), serial.end());
    reply.data.push_back(infoExtra);
    return reply;
}

bool ReaderModel::devicePasswordMatches(std::span<const uint8_t> data) const {
    return data.size() >= kPasswordSize &&
           std::equal(devicePassword.begin(), devicePassword.end(), data.begin());
}

ReaderModel::Reply ReaderModel::setSystemInfo(std::span<const uint8_t> data) {
    if (data.size() != 13 || !devicePasswordMatches(data)) return failure();
    firmwareVersion = data[4];
    hardwareVersion = data[5];
    const uint8_t newType = data[6];
    std::copy(data.begin() + 6, data.end(), serial.begin());
    if (readerfamily::familyOf(newType) != family()) setType(newType);
    return {};
}

ReaderModel::Reply ReaderModel::readDeviceId(std::span<const uint8_t> data) const {
    if (data.size() != 4 || !devicePasswordMatches(data)) return failure();
    Reply reply{1, Bytes(deviceId.begin(), deviceId.end())};
    reply.data.push_back(type());
    return reply;
}

ReaderModel::Reply ReaderModel::setDeviceId(std::span<const uint8_t> data) {
    if (data.size() != 8 || !devicePasswordMatches(data)) return failure();
    std::copy(data.begin() + 4, data.end(), deviceId.begin());
    return {};
}

// --- records ---

ReaderModel::Reply ReaderModel::readRecord(const ParamRecord &record, int size,
                                           int ignoredBytes) const {
    Reply reply{1, {record.lead}};
    reply.data.insert(reply.data.end(), static_cast<size_t>(ignoredBytes), 0);
    reply.data.insert(reply.data.end(), record.body.begin(), record.body.begin() + size);
    return reply;
}

// Writes carry the leading byte, the 0x55 marker (the network record one more zero byte),
// then the body.
ReaderModel::Reply ReaderModel::writeRecord(ParamRecord &record, std::span<const uint8_t> data,
                                            int markerBytes) {
    const size_t headerSize = 1 + static_cast<size_t>(markerBytes);
    if (data.size() <= headerSize || data[1] != kWriteMarker) return failure();
    if (markerBytes == 2 && data[2] != 0x00) return failure();
    const auto body = data.subspan(headerSize);
    if (body.size() > kRecordCapacity) return failure();
    record.lead = data[0];
    std::copy(body.begin(), body.end(), record.body.begin());
    return {};
}

ReaderModel::Reply ReaderModel::readOneParam(std::span<const uint8_t> data) const {
    if (data.size() != 1 || data[0] >= deviceRecordSize()) return failure();
    return {1, {data[0], deviceRecord.body[data[0]]}};
}

ReaderModel::Reply ReaderModel::setOneParam(std::span<const uint8_t> data) {
    if (data.size() != 2 || data[0] >= deviceRecordSize()) return failure();
    const uint8_t previousMode = workMode();
    deviceRecord.body[data[0]] = data[1];
    followWorkMode(previousMode);
    return {};
}

// Switching the work mode to active starts the reports, switching away stops them.
void ReaderModel::followWorkMode(uint8_t previousMode) {
    const uint8_t mode = workMode();
    if (mode == previousMode) return;
    if (mode == kWorkModeActive) activeRunning = true;
    if (previousMode == kWorkModeActive) activeRunning = false;
}

void ReaderModel::enterActiveMode() {
    putNumber(deviceRecord.body, "work_mode", kWorkModeActive);
    activeRunning = true;
}

void ReaderModel::reboot() {
    activeRunning = workMode() == kWorkModeActive;
    restartUpgrade();
    restartRequested_ = true;
}

bool ReaderModel::takeRestartRequest() {
    return std::exchange(restartRequested_, false);
}

// Drops a partial upload but keeps the record of the last completed one.
void ReaderModel::restartUpgrade() {
    UpgradeState fresh;
    fresh.completed = upgrade.completed;
    fresh.completedImage = std::move(upgrade.completedImage);
    upgrade = std::move(fresh);
}

// --- hardware ---

ReaderModel::Reply ReaderModel::checkAntennas() const {
    const uint8_t present = static_cast<uint8_t>((1u << antennaCount()) - 1);
    return {
        1,
        {static_cast<uint8_t>(antennaCount()), static_cast<uint8_t>(connectedAntennas & present)}};
}

ReaderModel::Reply ReaderModel::fixedText(const std::string &text, size_t size) const {
    if (!traits().hasGprs) return failure();
    Reply reply{1, Bytes(size, 0)};
    std::copy_n(text.begin(), std::min(text.size(), size - 1), reply.data.begin());
    return reply;
}

// --- white list and cache ---

// The selector is the index of the first entry wanted; the answer holds as many entries
// from there as fit in one frame.
ReaderModel::Reply ReaderModel::readWhiteList(std::span<const uint8_t> data) const {
    if (data.size() != 2) return failure();
    const size_t start = static_cast<size_t>(data[0] << 8 | data[1]);
    const size_t fitting = (kMaxAnswerData - 2) / 4;
    const size_t available = start < whiteList.size() ? whiteList.size() - start : 0;
    const size_t count = std::min(available, fitting);
    Reply reply{1, {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)}};
    for (size_t i = 0; i < count; ++i) {
        const WhiteListEntry &entry = whiteList[start + i];
        reply.data.insert(reply.data.end(), entry.begin(), entry.end());
    }
    return reply;
}

ReaderModel::Reply ReaderModel::writeWhiteList(std::span<const uint8_t> data) {
    if (data.size() < 2) return failure();
    const size_t count = static_cast<size_t>(data[0] << 8 | data[1]);
    if (data.size() != 2 + 4 * count) return failure();
    std::vector<WhiteListEntry> added;
    for (size_t i = 0; i < count; ++i) {
        WhiteListEntry entry;
        std::copy_n(data.begin() + 2 + 4 * static_cast<std::ptrdiff_t>(i), 4, entry.begin());
        const bool known =
            std::find(whiteList.begin(), whiteList.end(), entry) != whiteList.end() ||
            std::find(added.begin(), added.end(), entry) != added.end();
        if (!known) added.push_back(entry);
    }
    if (whiteList.size() + added.size() > kWhiteListCapacity) return failure();
    whiteList.insert(whiteList.end(), added.begin(), added.end());
    return {};
}

ReaderModel::Reply ReaderModel::deleteOneWhiteListEntry(std::span<const uint8_t> data) {
    if (data.size() != 4) return failure();
    WhiteListEntry entry;
    std::copy_n(data.begin(), 4, entry.begin());
    const auto found = std::find(whiteList.begin(), whiteList.end(), entry);
    if (found == whiteList.end()) return failure();
    whiteList.erase(found);
    return {};
}

void ReaderModel::cacheUndelivered(std::span<const uint8_t> reportFrame) {
    // Records follow the serial number and count byte of the report's data.
    constexpr size_t kFirstRecord = qn::kResponseDataOffset + 8;
    if (!cacheEnabled() || reportFrame.size() <= kFirstRecord) return;
    const size_t end = reportFrame.size() - 1;  // checksum
    for (size_t offset = kFirstRecord; offset < end && cacheRecords.size() < kCacheCapacity;) {
        const size_t size = 1 + static_cast<size_t>(reportFrame[offset]);
        if (offset + size > end) break;
        cacheRecords.emplace_back(reportFrame.begin() + static_cast<std::ptrdiff_t>(offset),
                                  reportFrame.begin() + static_cast<std::ptrdiff_t>(offset + size));
        offset += size;
    }
}

ReaderModel::Reply ReaderModel::cache() const {
    Reply reply{1, {0, 0}};
    uint16_t count = 0;
    for (const Bytes &record : cacheRecords) {
        if (reply.data.size() + record.size() > kMaxAnswerData) break;
        reply.data.insert(reply.data.end(), record.begin(), record.end());
        ++count;
    }
    reply.data[0] = static_cast<uint8_t>(count >> 8);
    reply.data[1] = static_cast<uint8_t>(count);
    return reply;
}

// --- firmware upgrade and self-kill ---

ReaderModel::Reply ReaderModel::upgradeBlock(std::span<const uint8_t> data, bool passwordVariant) {
    const size_t passwordBytes = passwordVariant ? kPasswordSize : 0;
    if (data.size() < passwordBytes + 3) return failure();
    if (passwordVariant && !devicePasswordMatches(data)) return failure();
    const auto header = data.subspan(passwordBytes);
    const size_t length = static_cast<size_t>(header[0]) * 16;
    const int number = header[1] << 8 | header[2];
    const auto block = header.subspan(3);
    if (length == 0 || length > kUpgradeBlockLimit || block.size() != length) return failure();
    if (number == upgradeRefusal.block && upgradeRefusal.times > 0) {
        --upgradeRefusal.times;
        return failure();
    }
    if (number == 0) {
        // Block 0 always starts a new upload.
        restartUpgrade();
        upgrade.passwordVariant = passwordVariant;
    }
    if (isResentLastBlock(number, block)) return {};
    if (number != upgrade.nextBlock || passwordVariant != upgrade.passwordVariant) {
        upgrade.broken = true;
        return failure();
    }
    upgrade.image.insert(upgrade.image.end(), block.begin(), block.end());
    upgrade.lastBlockSize = block.size();
    ++upgrade.nextBlock;
    return {};
}

bool ReaderModel::isResentLastBlock(int number, std::span<const uint8_t> block) const {
    if (upgrade.broken || number + 1 != upgrade.nextBlock || block.size() != upgrade.lastBlockSize)
        return false;
    const auto lastBlock = upgrade.image.end() - static_cast<std::ptrdiff_t>(block.size());
    return std::equal(block.begin(), block.end(), lastBlock);
}

ReaderModel::Reply ReaderModel::upgradeEnd(std::span<const uint8_t> data, bool passwordVariant) {
    if (data.size() != (passwordVariant ? kPasswordSize : 0)) return failure();
    if (passwordVariant && !devicePasswordMatches(data)) return failure();
    const bool complete =
        upgrade.nextBlock > 0 && !upgrade.broken && upgrade.passwordVariant == passwordVariant;
    if (!complete) return failure();
    upgrade.completed = true;
    upgrade.completedImage = std::move(upgrade.image);
    upgrade.nextBlock = 0;
    upgrade.image.clear();
    return {};
}

ReaderModel::Reply ReaderModel::selfKill(std::span<const uint8_t> data) {
    if (data.size() != kPasswordSize || !devicePasswordMatches(data)) return failure();
    killed = true;  // answers this command, then never again
    return {};
}

// --- active mode ---

Bytes ReaderModel::nextActiveReport(int batch) {
    // Serial number and count byte precede the records; the whole answer must stay
    // deliverable.
    constexpr size_t kHeaderBytes = 8;
    const size_t limit = batch > 0 ? std::min(batch, 255) : 255;
    Bytes data(serial.begin(), serial.end());
    data.push_back(0);
    size_t count = 0;
    for (size_t scanned = 0; scanned < tags.size() && count < limit; ++scanned) {
        const VirtualTag &tag = tags[nextReportTag_ % tags.size()];
        if (tagVisible(tag)) {
            const Bytes record = tagRecord(tag);
            if (data.size() + record.size() > kMaxAnswerData) break;
            data.insert(data.end(), record.begin(), record.end());
            ++count;
        }
        nextReportTag_ = (nextReportTag_ + 1) % tags.size();
    }
    if (count == 0) return {};
    data[kHeaderBytes - 1] = static_cast<uint8_t>(count);
    Bytes frame(data.size() + 8);
    qn::buildResponse(address(), static_cast<uint8_t>(Command::ActiveReport), 1, data, frame);
    return frame;
}

}  // namespace readersim
