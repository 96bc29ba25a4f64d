// Command codes of the reader protocol and how long each library waits for the answer.
#pragma once

#include <chrono>
#include <cstdint>

namespace qn {

enum class Command : uint8_t {
    InventoryG2 = 0x01,
    ReadCardG2 = 0x02,
    WriteCardG2 = 0x03,
    WriteEPCG2 = 0x04,
    LockCardG2 = 0x05,
    SetFreq = 0x0A,
    GetDeviceSystemInfo = 0x10,
    SetDeviceSystemInfo = 0x12,
    ReadDeviceID = 0x16,
    SetDeviceID = 0x17,
    ReadDeviceParam = 0x20,
    SetDeviceParam = 0x21,
    DefaultDeviceParam = 0x22,
    ReadDeviceOneParam = 0x23,
    SetDeviceOneParam = 0x24,
    ReadDeviceNetParam = 0x26,
    SetDeviceNetParam = 0x27,
    DefaultDeviceNetParam = 0x28,
    ReadDeviceTime = 0x2B,
    SetDeviceTime = 0x2C,
    ReadTransState = 0x2D,
    ReadDeviceSpecialParam = 0x2E,
    SetDeviceSpecialParam = 0x2F,
    RebootDevice = 0x30,
    UpgradeDevData = 0x33,
    UpgradeDevEnd = 0x34,
    DeviceSelfKill = 0x35,
    UpgradeDevDataIn = 0x36,
    UpgradeDevEndIn = 0x37,
    StopRead = 0x40,
    StartRead = 0x41,
    GetDevCache = 0x43,
    DelDevCache = 0x44,
    ActiveReport = 0x45,  // reader to host only, never answers a request
    ReadWhiteList = 0x4A,
    WriteWhiteList = 0x4B,
    DeleteAllWhiteList = 0x4C,
    DeleteOneWhiteList = 0x4D,
    RelayOn = 0x85,
    RelayOff = 0x86,
    CheckModule = 0xE0,
    CheckAnt = 0xE1,
    GPRSGetSIMState = 0xF0,
    GPRSGetSignal = 0xF1,
    GPRSGetLBS = 0xF2,
    GetGPS = 0xF3,
};

// Which column of the poll-count table a library uses.
enum class TransportKind { Serial, Hid, Net };

// Number of poll periods a command waits for its answer on the given transport.
// Returns 0 for codes that are not requests.
int pollCount(Command command, TransportKind transport);

// One poll period: 1 ms for serial and USB-HID, 5 ms for TCP.
std::chrono::milliseconds pollPeriod(TransportKind transport);

}  // namespace qn
