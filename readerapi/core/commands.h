// Every command of the reader protocol, written once for all three libraries. Each takes the
// library's link and the exported function's arguments and returns 1 or 0.
#pragma once

#include <cstdint>

#include "link.h"

namespace qn::commands {

// Device management
int getDeviceSystemInfo(Link &link, uint8_t addr, uint8_t *info10);
int setDeviceSystemInfo(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t b0, uint8_t b1,
                        const uint8_t *serial7);
int readDeviceId(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t *id5);
int setDeviceId(Link &link, uint8_t addr, const uint8_t *pwd, const uint8_t *id4);

// The three parameter records share one shape: how many bytes sit between the leading
// byte and the record (read) and which marker bytes follow the leading byte (write).
enum class Record { Device, Net, Special };
int readRecord(Link &link, Record record, uint8_t addr, uint8_t *lead, uint8_t *out,
               uint8_t length);
int writeRecord(Link &link, Record record, uint8_t addr, uint8_t lead, const uint8_t *in,
                uint8_t length);

int readDeviceOneParam(Link &link, uint8_t addr, uint8_t index, uint8_t *value);
int setDeviceOneParam(Link &link, uint8_t addr, uint8_t index, uint8_t value);
int setDeviceTime(Link &link, uint8_t addr, const uint8_t *time6);
int checkAnt(Link &link, uint8_t addr, uint8_t *out2);

// A command with no request data and no result.
int simple(Link &link, Command command, uint8_t addr);
// A command with no request data whose result is `size` bytes from data byte 0.
int readFixed(Link &link, Command command, uint8_t addr, uint8_t *out, size_t size);
// A command whose request data is only the 4-byte password.
int withPassword(Link &link, Command command, uint8_t addr, const uint8_t *pwd);

// Gen-2 tag commands
int inventoryG2(Link &link, uint8_t addr, uint8_t *records, uint16_t *byteLength,
                uint16_t *tagCount);
int readCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t bank, uint8_t wordAddr,
               uint8_t wordCount, uint8_t *out);
int writeCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t bank, uint8_t wordAddr,
                uint8_t wordCount, const uint8_t *data);
int writeEpcG2(Link &link, uint8_t addr, const uint8_t *pwd, const uint8_t *epc, uint8_t wordCount);
int lockCardG2(Link &link, uint8_t addr, const uint8_t *pwd, uint8_t lockCode);
int setFreq(Link &link, uint8_t addr, uint8_t b0, uint8_t b1);

// White list, cache, firmware upgrade
int readWhiteList(Link &link, uint8_t addr, uint8_t *entries, uint16_t *count);
int writeWhiteList(Link &link, uint8_t addr, const uint8_t *entries, uint16_t count);
int deleteOneWhiteList(Link &link, uint8_t addr, const uint8_t *entry4);
int getDevCache(Link &link, uint8_t addr, uint16_t *recordCount, uint8_t *records,
                uint16_t *byteLength);
int upgradeDevData(Link &link, uint8_t addr, uint16_t blockLength, uint16_t blockNumber,
                   const uint8_t *block);
int upgradeDevDataIn(Link &link, uint8_t addr, const uint8_t *pwd, uint16_t blockLength,
                     uint16_t blockNumber, const uint8_t *block);

}  // namespace qn::commands
