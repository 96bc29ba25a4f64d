#include "reader/CReaderFacade.h"

#include "QnComApi.h"
#include "QnHidApi.h"
#include "QnNetApi.h"
#include "QnSharedCommands.h"

#include <array>

// The table type and the three tables are generated from the shared command list, so a
// command is named once and a transport can never miss one.
struct CReaderApiTable {
#define QN_TABLE_MEMBER(name) decltype(&QnCom_##name) name = nullptr;
    QN_SHARED_COMMANDS(QN_TABLE_MEMBER)
    QN_TAG_BUFFER_COMMANDS(QN_TABLE_MEMBER)
#undef QN_TABLE_MEMBER
};

namespace {

#define QN_COM_ENTRY(name) .name = &QnCom_##name,
#define QN_HID_ENTRY(name) .name = &QnHid_##name,
#define QN_NET_ENTRY(name) .name = &QnNet_##name,

// Indexed by transport: serial, USB, network.
const std::array<CReaderApiTable, 3> apiTables { {
    { QN_SHARED_COMMANDS(QN_COM_ENTRY) QN_TAG_BUFFER_COMMANDS(QN_COM_ENTRY) },
    { QN_SHARED_COMMANDS(QN_HID_ENTRY) QN_TAG_BUFFER_COMMANDS(QN_HID_ENTRY) },
    { QN_SHARED_COMMANDS(QN_NET_ENTRY) },
} };

#undef QN_COM_ENTRY
#undef QN_HID_ENTRY
#undef QN_NET_ENTRY

constexpr std::uint8_t address = CReaderFacade::readerAddress;

} // namespace

const CReaderApiTable &CReaderFacade::table() const
{
    return apiTables[static_cast<std::size_t>(m_transport.load())];
}

template <typename Result, typename Member, typename... Args>
Result CReaderFacade::call(Member member, Args... args) const
{
    const CReaderApiTable &api = table();
    if (api.*member == nullptr)
        return Result { 0 };
    return (api.*member)(args...);
}

int CReaderFacade::openSerial(const QByteArray &portName, std::int32_t baudRate)
{
    m_transport = Transport::Serial;
    return QnCom_OpenDevice(portName.constData(), baudRate);
}

int CReaderFacade::openUsb(std::uint16_t position)
{
    m_transport = Transport::Usb;
    return QnHid_OpenDevice(position);
}

int CReaderFacade::openNetwork(const QByteArray &ipAddress, std::uint16_t port)
{
    m_transport = Transport::Network;
    return QnNet_OpenDevice(ipAddress.constData(), port);
}

void CReaderFacade::closeDevice()
{
    table().CloseDevice();
}

QStringList CReaderFacade::usbDevices()
{
    QStringList devices;
    const std::uint16_t count = QnHid_GetUsbCount();
    for (std::uint16_t position = 0; position < count; ++position) {
        std::array<char, 256> path {};
        QnHid_GetUsbInfo(position, path.data());
        devices.append(QString::fromUtf8(path.data()));
    }
    return devices;
}

int CReaderFacade::setCallback(QnCallback callback)
{
    return call<int>(&CReaderApiTable::SetCallback, callback);
}

int CReaderFacade::setCallbackDebug(QnCallback callback)
{
    return call<int>(&CReaderApiTable::SetCallbackDebug, callback);
}

int CReaderFacade::getDeviceSystemInfo(std::uint8_t *info10)
{
    return call<int>(&CReaderApiTable::GetDeviceSystemInfo, address, info10);
}

int CReaderFacade::readDeviceParam(std::uint8_t *lead, std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::ReadDeviceParam, address, lead, record, length);
}

int CReaderFacade::setDeviceParam(
    std::uint8_t lead, const std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::SetDeviceParam, address, lead, record, length);
}

int CReaderFacade::readDeviceNetParam(std::uint8_t *lead, std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::ReadDeviceNetParam, address, lead, record, length);
}

int CReaderFacade::setDeviceNetParam(
    std::uint8_t lead, const std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::SetDeviceNetParam, address, lead, record, length);
}

int CReaderFacade::readDeviceSpecialParam(
    std::uint8_t *lead, std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::ReadDeviceSpecialParam, address, lead, record, length);
}

int CReaderFacade::setDeviceSpecialParam(
    std::uint8_t lead, const std::uint8_t *record, std::uint8_t length)
{
    return call<int>(&CReaderApiTable::SetDeviceSpecialParam, address, lead, record, length);
}

int CReaderFacade::defaultDeviceParam()
{
    return call<int>(&CReaderApiTable::DefaultDeviceParam, address);
}

int CReaderFacade::defaultDeviceNetParam()
{
    return call<int>(&CReaderApiTable::DefaultDeviceNetParam, address);
}

int CReaderFacade::readDeviceTime(std::uint8_t *time6)
{
    return call<int>(&CReaderApiTable::ReadDeviceTime, address, time6);
}

int CReaderFacade::setDeviceTime(const std::uint8_t *time6)
{
    return call<int>(&CReaderApiTable::SetDeviceTime, address, time6);
}

int CReaderFacade::rebootDevice()
{
    return call<int>(&CReaderApiTable::RebootDevice, address);
}

int CReaderFacade::relayOn()
{
    return call<int>(&CReaderApiTable::RelayOn, address);
}

int CReaderFacade::relayOff()
{
    return call<int>(&CReaderApiTable::RelayOff, address);
}

int CReaderFacade::checkModule(std::uint8_t *out1)
{
    return call<int>(&CReaderApiTable::CheckModule, address, out1);
}

int CReaderFacade::checkAnt(std::uint8_t *out2)
{
    return call<int>(&CReaderApiTable::CheckAnt, address, out2);
}

int CReaderFacade::gprsGetSimState(std::uint8_t *out1)
{
    return call<int>(&CReaderApiTable::GPRSGetSIMState, address, out1);
}

int CReaderFacade::gprsGetSignal(std::uint8_t *out8)
{
    return call<int>(&CReaderApiTable::GPRSGetSignal, address, out8);
}

int CReaderFacade::gprsGetLbs(std::uint8_t *out64)
{
    return call<int>(&CReaderApiTable::GPRSGetLBS, address, out64);
}

int CReaderFacade::getGps(std::uint8_t *out1024)
{
    return call<int>(&CReaderApiTable::GetGPS, address, out1024);
}

int CReaderFacade::inventoryG2(
    std::uint8_t *records, std::uint16_t *byteLength, std::uint16_t *tagCount)
{
    return call<int>(&CReaderApiTable::InventoryG2, address, records, byteLength, tagCount);
}

int CReaderFacade::readCardG2(const std::uint8_t *pwd, std::uint8_t bank, std::uint8_t wordAddr,
    std::uint8_t wordCount, std::uint8_t *out)
{
    return call<int>(&CReaderApiTable::ReadCardG2, address, pwd, bank, wordAddr, wordCount, out);
}

int CReaderFacade::writeCardG2(const std::uint8_t *pwd, std::uint8_t bank, std::uint8_t wordAddr,
    std::uint8_t wordCount, const std::uint8_t *data)
{
    return call<int>(&CReaderApiTable::WriteCardG2, address, pwd, bank, wordAddr, wordCount, data);
}

int CReaderFacade::writeEpcG2(
    const std::uint8_t *pwd, const std::uint8_t *epc, std::uint8_t wordCount)
{
    return call<int>(&CReaderApiTable::WriteEPCG2, address, pwd, epc, wordCount);
}

int CReaderFacade::lockCardG2(const std::uint8_t *pwd, std::uint8_t lockCode)
{
    return call<int>(&CReaderApiTable::LockCardG2, address, pwd, lockCode);
}

int CReaderFacade::startRead()
{
    return call<int>(&CReaderApiTable::StartRead, address);
}

int CReaderFacade::stopRead()
{
    return call<int>(&CReaderApiTable::StopRead, address);
}

int CReaderFacade::readWhiteList(std::uint8_t *entries, std::uint16_t *count)
{
    return call<int>(&CReaderApiTable::ReadWhiteList, address, entries, count);
}

int CReaderFacade::writeWhiteList(const std::uint8_t *entries, std::uint16_t count)
{
    return call<int>(&CReaderApiTable::WriteWhiteList, address, entries, count);
}

int CReaderFacade::deleteAllWhiteList()
{
    return call<int>(&CReaderApiTable::DeleteAllWhiteList, address);
}

int CReaderFacade::deleteOneWhiteList(const std::uint8_t *entry4)
{
    return call<int>(&CReaderApiTable::DeleteOneWhiteList, address, entry4);
}

int CReaderFacade::getDevCache(
    std::uint16_t *recordCount, std::uint8_t *records, std::uint16_t *byteLength)
{
    return call<int>(&CReaderApiTable::GetDevCache, address, recordCount, records, byteLength);
}

int CReaderFacade::delDevCache()
{
    return call<int>(&CReaderApiTable::DelDevCache, address);
}

int CReaderFacade::upgradeDevData(
    std::uint16_t blockLength, std::uint16_t blockNumber, const std::uint8_t *block)
{
    return call<int>(&CReaderApiTable::UpgradeDevData, address, blockLength, blockNumber, block);
}

int CReaderFacade::upgradeDevEnd()
{
    return call<int>(&CReaderApiTable::UpgradeDevEnd, address);
}

int CReaderFacade::upgradeDevDataIn(const std::uint8_t *pwd, std::uint16_t blockLength,
    std::uint16_t blockNumber, const std::uint8_t *block)
{
    return call<int>(
        &CReaderApiTable::UpgradeDevDataIn, address, pwd, blockLength, blockNumber, block);
}

int CReaderFacade::upgradeDevEndIn(const std::uint8_t *pwd)
{
    return call<int>(&CReaderApiTable::UpgradeDevEndIn, address, pwd);
}

std::uint8_t CReaderFacade::getTagBuf(
    std::uint8_t *records, std::int32_t *byteCount, std::int32_t *tagCount)
{
    return call<std::uint8_t>(&CReaderApiTable::GetTagBuf, records, byteCount, tagCount);
}

int CReaderFacade::clearTagBuf()
{
    return call<int>(&CReaderApiTable::ClearTagBuf);
}
