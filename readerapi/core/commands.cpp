#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace qn::commands {

namespace {

constexpr size_t kPasswordSize = 4;
constexpr uint8_t kWriteMarker = 0x55;
constexpr size_t kMaxUpgradeBlock = 1536;
// Block 0 of the password-guarded upgrade needs the reader to erase first.
constexpr auto kFirstBlockPause = std::chrono::milliseconds(800);

// Request data assembled in a fixed buffer, never past the longest request.
class Request {
  public:
    Request &byte(uint8_t value) {
        if (size_ < kMaxRequestData)
            data_[size_++] = value;
        else
            overflow_ = true;
        return *this;
    }
    Request &word(uint16_t value) { return byte(uint8_t(value >> 8)).byte(uint8_t(value)); }
    Request &bytes(const uint8_t *source, size_t count) {
        if (count > kMaxRequestData - size_) {
            overflow_ = true;
            return *this;
        }
        if (count) std::memcpy(data_ + size_, source, count);
        size_ += count;
        return *this;
    }
    Request &password(const uint8_t *pwd) { return bytes(pwd, kPasswordSize); }
    bool fits() const { return !overflow_; }
    std::span<const uint8_t> span() const { return {data_, size_}; }

  private:
    uint8_t data_[kMaxRequestData];
    size_t size_ = 0;
    bool overflow_ = false;
};

bool send(Link &link, uint8_t addr, Command command, const Request &request, Response &response) {
    return request.fits() && link.transact(addr, command, request.span(), response);
}

struct RecordShape {
    Command read;
    Command write;
    size_t readOffset;   // data byte where the record starts in the answer
    size_t markerBytes;  // 0x55, then zeros, after the leading byte of a write
};

RecordShape shapeOf(Record record) {
    switch (record) {
        case Record::Device:
            return {Command::ReadDeviceParam, Command::SetDeviceParam, 2, 1};
        case Record::Net:
            return {Command::ReadDeviceNetParam, Command::SetDeviceNetParam, 3, 2};
        case Record::Special:
            break;
    }
    return {Command::ReadDeviceSpecialParam, Command::SetDeviceSpecialParam, 2, 1};
}

// Byte counts derived from a length field never go negative and never pass the frame.
uint16_t recordBytesAfterCount(const Response &response) {
    const size_t declared = response.lengthField() >= 6 ? response.lengthField() - 6u : 0;
    const size_t carried = response.dataSize() >= 2 ? response.dataSize() - 2 : 0;
    return static_cast<uint16_t>(std::min(declared, carried));
}

}  // namespace

int getDeviceSystemInfo(Link &link, uint8_t addr, uint8_t *info10) {
    if (!readFixed(link, Command::GetDeviceSystemInfo, addr, info10, 10)) return 0;
    link.setSerialNumber(info10 + 2);
    return 1;
}

int setDeviceSystemInfo(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t b0, uint8_t b1,
                        const uint8_t *serial7) {
    if (!pwd || !serial7) return 0;
    Request request;
    request.password(pwd).byte(b0).byte(b1).bytes(serial7, 7);
    Response response;
    return send(link, addr, Command::SetDeviceSystemInfo, request, response);
}

int readDeviceId(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t *id5) {
    if (!pwd || !id5) return 0;
    Request request;
    request.password(pwd);
    Response response;
    if (!send(link, addr, Command::ReadDeviceID, request, response)) return 0;
    response.copyData(0, 5, id5);
    return 1;
}

int setDeviceId(Link &link, uint8_t addr, const uint8_t *pwd, const uint8_t *id4) {
    if (!pwd || !id4) return 0;
    Request request;
    request.password(pwd).bytes(id4, 4);
    Response response;
    return send(link, addr, Command::SetDeviceID, request, response);
}

int readRecord(Link &link, Record record, uint8_t addr, uint8_t *lead, uint8_t *out,
               uint8_t length) {
    if (!lead || !out) return 0;
    const RecordShape shape = shapeOf(record);
    Response response;
    if (!link.transact(addr, shape.read, {}, response)) return 0;
    *lead = response.dataByte(0);
    response.copyData(shape.readOffset, length, out);
    return 1;
}

int writeRecord(Link &link, Record record, uint8_t addr, uint8_t lead, const uint8_t *in,
                uint8_t length) {
    if (!in) return 0;
    const RecordShape shape = shapeOf(record);
    Request request;
    request.byte(lead).byte(kWriteMarker);
    for (size_t i = 1; i < shape.markerBytes; ++i) request.byte(0x00);
    request.bytes(in, length);
    Response response;
    return send(link, addr, shape.write, request, response);
}

int readDeviceOneParam(Link &link, uint8_t addr, uint8_t index, uint8_t *value) {
    if (!value) return 0;
    Request request;
    request.byte(index);
    Response response;
    if (!send(link, addr, Command::ReadDeviceOneParam, request, response)) return 0;
    *value = response.dataByte(1);
    return 1;
}

int setDeviceOneParam(Link &link, uint8_t addr, uint8_t index, uint8_t value) {
    Request request;
    request.byte(index).byte(value);
    Response response;
    return send(link, addr, Command::SetDeviceOneParam, request, response);
}

int setDeviceTime(Link &link, uint8_t addr, const uint8_t *time6) {
    if (!time6) return 0;
    Request request;
    request.bytes(time6, 6);
    Response response;
    return send(link, addr, Command::SetDeviceTime, request, response);
}

int checkAnt(Link &link, uint8_t addr, uint8_t *out2) {
    return readFixed(link, Command::CheckAnt, addr, out2, 2);
}

int simple(Link &link, Command command, uint8_t addr) {
    Response response;
    return link.transact(addr, command, {}, response);
}

int readFixed(Link &link, Command command, uint8_t addr, uint8_t *out, size_t size) {
    if (!out) return 0;
    Response response;
    if (!link.transact(addr, command, {}, response)) return 0;
    response.copyData(0, size, out);
    return 1;
}

int withPassword(Link &link, Command command, uint8_t addr, const uint8_t *pwd) {
    if (!pwd) return 0;
    Request request;
    request.password(pwd);
    Response response;
    return send(link, addr, command, request, response);
}

int inventoryG2(Link &link, uint8_t addr, uint8_t *records, uint16_t *byteLength,
                uint16_t *tagCount) {
    if (!records || !byteLength || !tagCount) return 0;
    // The reader's meaning of the three request bytes is not ours to choose: send zeros.
    Request request;
    request.byte(0).byte(0).byte(0);
    Response response;
    if (!send(link, addr, Command::InventoryG2, request, response)) return 0;
    const uint16_t bytes = recordBytesAfterCount(response);
    response.copyData(2, bytes, records);
    *byteLength = bytes;
    *tagCount = response.dataWord(0);
    return 1;
}

int readCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t bank, uint8_t wordAddr,
               uint8_t wordCount, uint8_t *out) {
    if (!pwd || !out) return 0;
    Request request;
    request.byte(bank).byte(wordAddr).byte(wordCount).password(pwd);
    Response response;
    if (!send(link, addr, Command::ReadCardG2, request, response)) return 0;
    response.copyData(0, wordCount * 2u, out);
    return 1;
}

int writeCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t bank, uint8_t wordAddr,
                uint8_t wordCount, const uint8_t *data) {
    if (!pwd || (!data && wordCount)) return 0;
    Request request;
    request.byte(bank).byte(wordAddr).byte(wordCount).password(pwd).bytes(data, wordCount * 2u);
    Response response;
    return send(link, addr, Command::WriteCardG2, request, response);
}

int writeEpcG2(Link &link, uint8_t addr, const uint8_t *pwd, const uint8_t *epc,
               uint8_t wordCount) {
    if (!pwd || (!epc && wordCount)) return 0;
    Request request;
    request.byte(wordCount).password(pwd).bytes(epc, wordCount * 2u);
    Response response;
    return send(link, addr, Command::WriteEPCG2, request, response);
}

int lockCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t lockCode) {
    if (!pwd) return 0;
    Request request;
    request.byte(lockCode).password(pwd);
    Response response;
    return send(link, addr, Command::LockCardG2, request, response);
}

int setFreq(Link &link, uint8_t addr, uint8_t b0, uint8_t b1) {
    Request request;
    request.byte(b0).byte(b1);
    Response response;
    return send(link, addr, Command::SetFreq, request, response);
}

int readWhiteList(Link &link, uint8_t addr, uint8_t *entries, uint16_t *count) {
    if (!entries || !count) return 0;
    Request request;
    request.word(*count);
    Response response;
    if (!send(link, addr, Command::ReadWhiteList, request, response)) return 0;
    // Never more entries than the answer carries.
    const size_t carried = response.dataSize() >= 2 ? (response.dataSize() - 2) / 4 : 0;
    const uint16_t returned =
        static_cast<uint16_t>(std::min<size_t>(response.dataWord(0), carried));
    response.copyData(2, returned * 4u, entries);
    *count = returned;
    return 1;
}

int writeWhiteList(Link &link, uint8_t addr, const uint8_t *entries, uint16_t count) {
    if (!entries && count) return 0;
    Request request;
    request.word(count).bytes(entries, count * 4u);
    Response response;
    return send(link, addr, Command::WriteWhiteList, request, response);
}

int deleteOneWhiteList(Link &link, uint8_t addr, const uint8_t *entry4) {
    if (!entry4) return 0;
    Request request;
    request.bytes(entry4, 4);
    Response response;
    return send(link, addr, Command::DeleteOneWhiteList, request, response);
}

int getDevCache(Link &link, uint8_t addr, uint16_t *recordCount, uint8_t *records,
                uint16_t *byteLength) {
    if (!recordCount || !records || !byteLength) return 0;
    Response response;
    if (!link.transact(addr, Command::GetDevCache, {}, response)) return 0;
    const uint16_t bytes = recordBytesAfterCount(response);
    response.copyData(2, bytes, records);
    *byteLength = bytes;
    *recordCount = response.dataWord(0);
    return 1;
}

int upgradeDevData(Link &link, uint8_t addr, uint16_t blockLength, uint16_t blockNumber,
                   const uint8_t *block) {
    if (!block || blockLength > kMaxUpgradeBlock) return 0;
    Request request;
    request.byte(uint8_t(blockLength / 16)).word(blockNumber).bytes(block, blockLength);
    Response response;
    return send(link, addr, Command::UpgradeDevData, request, response);
}

int upgradeDevDataIn(Link &link, uint8_t addr, const uint8_t *pwd, uint16_t blockLength,
                     uint16_t blockNumber, const uint8_t *block) {
    if (!pwd || !block || blockLength > kMaxUpgradeBlock) return 0;
    Request request;
    request.password(pwd)
        .byte(uint8_t(blockLength / 16))
        .word(blockNumber)
        .bytes(block, blockLength);
    if (!request.fits()) return 0;
    Response response;
    const auto pause = blockNumber == 0 ? kFirstBlockPause : std::chrono::milliseconds(0);
    return link.transact(addr, Command::UpgradeDevDataIn, request.span(), response, pause);
}

}  // namespace qn::commands
