#pragma once

#include "QnReaderTypes.h"
#include "reader_transport.h"

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <cstdint>

struct CReaderApiTable;

// The one way the program talks to a reader. Each call goes to the QnCom_, QnHid_ or QnNet_
// function of the same name, chosen by the transport in use, always with reader address 255,
// so pages never switch on the transport themselves. Calls may come from any thread (the
// libraries serve one command at a time); the transport is changed by the main window only.
class CReaderFacade {
public:
    static constexpr std::uint8_t readerAddress = 255;

    void setTransport(Transport transport) { m_transport = transport; }
    Transport transport() const { return m_transport; }

    // Opening also makes that transport the one in use.
    int openSerial(const QByteArray &portName, std::int32_t baudRate);
    int openUsb(std::uint16_t position);
    int openNetwork(const QByteArray &ipAddress, std::uint16_t port);
    void closeDevice();

    // The USB bridges present now, in the USB library's order, as their listed paths.
    static QStringList usbDevices();

    int setCallback(QnCallback callback);
    int setCallbackDebug(QnCallback callback);

    int getDeviceSystemInfo(std::uint8_t *info10);
    int readDeviceParam(std::uint8_t *lead, std::uint8_t *record, std::uint8_t length);
    int setDeviceParam(std::uint8_t lead, const std::uint8_t *record, std::uint8_t length);
    int readDeviceNetParam(std::uint8_t *lead, std::uint8_t *record, std::uint8_t length);
    int setDeviceNetParam(std::uint8_t lead, const std::uint8_t *record, std::uint8_t length);
    int readDeviceSpecialParam(std::uint8_t *lead, std::uint8_t *record, std::uint8_t length);
    int setDeviceSpecialParam(std::uint8_t lead, const std::uint8_t *record, std::uint8_t length);
    int defaultDeviceParam();
    int defaultDeviceNetParam();
    int readDeviceTime(std::uint8_t *time6);
    int setDeviceTime(const std::uint8_t *time6);
    int rebootDevice();
    int relayOn();
    int relayOff();
    int checkModule(std::uint8_t *out1);
    int checkAnt(std::uint8_t *out2);
    int gprsGetSimState(std::uint8_t *out1);
    int gprsGetSignal(std::uint8_t *out8);
    int gprsGetLbs(std::uint8_t *out64);
    int getGps(std::uint8_t *out1024);

    int inventoryG2(std::uint8_t *records, std::uint16_t *byteLength, std::uint16_t *tagCount);
    int readCardG2(const std::uint8_t *pwd, std::uint8_t bank, std::uint8_t wordAddr,
        std::uint8_t wordCount, std::uint8_t *out);
    int writeCardG2(const std::uint8_t *pwd, std::uint8_t bank, std::uint8_t wordAddr,
        std::uint8_t wordCount, const std::uint8_t *data);
    int writeEpcG2(const std::uint8_t *pwd, const std::uint8_t *epc, std::uint8_t wordCount);
    int lockCardG2(const std::uint8_t *pwd, std::uint8_t lockCode);
    int startRead();
    int stopRead();

    int readWhiteList(std::uint8_t *entries, std::uint16_t *count);
    int writeWhiteList(const std::uint8_t *entries, std::uint16_t count);
    int deleteAllWhiteList();
    int deleteOneWhiteList(const std::uint8_t *entry4);
    int getDevCache(std::uint16_t *recordCount, std::uint8_t *records, std::uint16_t *byteLength);
    int delDevCache();
    int upgradeDevData(
        std::uint16_t blockLength, std::uint16_t blockNumber, const std::uint8_t *block);
    int upgradeDevEnd();
    int upgradeDevDataIn(const std::uint8_t *pwd, std::uint16_t blockLength,
        std::uint16_t blockNumber, const std::uint8_t *block);
    int upgradeDevEndIn(const std::uint8_t *pwd);

    // The network library keeps no tag buffer: there both calls fail (status 0).
    std::uint8_t getTagBuf(std::uint8_t *records, std::int32_t *byteCount, std::int32_t *tagCount);
    int clearTagBuf();

private:
    // The function table of the transport in use.
    const CReaderApiTable &table() const;
    template <typename Result, typename Member, typename... Args>
    Result call(Member member, Args... args) const;

    std::atomic<Transport> m_transport { Transport::Serial };
};
