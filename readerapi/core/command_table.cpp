#include "command_table.h"

namespace qn {

namespace {

struct PollCounts {
    Command command;
    int serial;
    int hid;
    int net;
};

constexpr PollCounts kPollCounts[] = {
    {Command::InventoryG2, 150, 100, 100},
    {Command::ReadCardG2, 300, 300, 300},
    {Command::WriteCardG2, 450, 450, 450},
    {Command::WriteEPCG2, 450, 450, 450},
    {Command::LockCardG2, 350, 350, 350},
    {Command::SetFreq, 100, 100, 100},
    {Command::GetDeviceSystemInfo, 100, 100, 100},
    {Command::SetDeviceSystemInfo, 100, 100, 100},
    {Command::ReadDeviceID, 100, 100, 100},
    {Command::SetDeviceID, 100, 100, 100},
    {Command::ReadDeviceParam, 100, 100, 100},
    {Command::SetDeviceParam, 100, 100, 100},
    {Command::DefaultDeviceParam, 150, 150, 150},
    {Command::ReadDeviceOneParam, 100, 100, 100},
    {Command::SetDeviceOneParam, 100, 100, 100},
    {Command::ReadDeviceNetParam, 150, 150, 150},
    {Command::SetDeviceNetParam, 150, 150, 150},
    {Command::DefaultDeviceNetParam, 150, 150, 150},
    {Command::ReadDeviceTime, 100, 100, 100},
    {Command::SetDeviceTime, 100, 100, 100},
    {Command::ReadTransState, 100, 100, 100},
    {Command::ReadDeviceSpecialParam, 100, 100, 100},
    {Command::SetDeviceSpecialParam, 100, 100, 100},
    {Command::RebootDevice, 150, 150, 150},
    {Command::UpgradeDevData, 150, 150, 150},
    {Command::UpgradeDevEnd, 150, 150, 150},
    {Command::DeviceSelfKill, 150, 150, 150},
    {Command::UpgradeDevDataIn, 800, 150, 150},
    {Command::UpgradeDevEndIn, 800, 150, 150},
    {Command::StopRead, 100, 100, 100},
    {Command::StartRead, 150, 100, 100},
    {Command::GetDevCache, 100, 100, 100},
    {Command::DelDevCache, 100, 100, 100},
    {Command::ReadWhiteList, 100, 100, 100},
    {Command::WriteWhiteList, 100, 100, 100},
    {Command::DeleteAllWhiteList, 100, 100, 100},
    {Command::DeleteOneWhiteList, 100, 100, 100},
    {Command::RelayOn, 100, 100, 100},
    {Command::RelayOff, 100, 100, 100},
    {Command::CheckModule, 100, 100, 100},
    {Command::CheckAnt, 220, 220, 220},
    {Command::GPRSGetSIMState, 100, 100, 100},
    {Command::GPRSGetSignal, 100, 100, 100},
    {Command::GPRSGetLBS, 100, 100, 100},
    {Command::GetGPS, 400, 400, 400},
};

}  // namespace

int pollCount(Command command, TransportKind transport) {
    for (const PollCounts &entry : kPollCounts) {
        if (entry.command != command) continue;
        switch (transport) {
            case TransportKind::Serial:
                return entry.serial;
            case TransportKind::Hid:
                return entry.hid;
            case TransportKind::Net:
                return entry.net;
        }
    }
    return 0;
}

std::chrono::milliseconds pollPeriod(TransportKind transport) {
    return std::chrono::milliseconds(transport == TransportKind::Net ? 5 : 1);
}

}  // namespace qn
