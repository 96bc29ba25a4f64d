#include "kit/CReaderFacade.h"

#include <gtest/gtest.h>

#include <array>

// Without an open connection every library refuses its commands; these tests only check the
// dispatch that needs no reader. Calls against a reader are covered by the main window tests.

TEST(ReaderFacadeTest, StartsOnTheSerialTransport)
{
    const CReaderFacade reader;
    EXPECT_EQ(reader.transport(), CReaderFacade::Serial);
}

TEST(ReaderFacadeTest, AnUnknownTransportFailsEveryCall)
{
    CReaderFacade reader;
    reader.setTransport(7);
    std::array<std::uint8_t, 10> info{};
    EXPECT_EQ(reader.getDeviceSystemInfo(info.data()), 0);
    EXPECT_EQ(reader.relayOn(), 0);
    EXPECT_EQ(reader.setCallbackDebug(nullptr), 0);
    reader.closeDevice();
}

TEST(ReaderFacadeTest, CommandsFailWhileNothingIsOpen)
{
    CReaderFacade reader;
    for (const int transport : {CReaderFacade::Serial, CReaderFacade::Usb,
                                CReaderFacade::Network}) {
        reader.setTransport(transport);
        EXPECT_EQ(reader.relayOn(), 0) << transport;
        EXPECT_EQ(reader.setCallbackDebug(nullptr), 1) << transport;
    }
}

TEST(ReaderFacadeTest, TheNetworkTransportHasNoTagBuffer)
{
    CReaderFacade reader;
    reader.setTransport(CReaderFacade::Network);
    std::int32_t bytes = -1;
    std::int32_t tags = -1;
    std::array<std::uint8_t, 16> records{};
    EXPECT_EQ(reader.getTagBuf(records.data(), &bytes, &tags), 0);
    EXPECT_EQ(reader.clearTagBuf(), 0);
    EXPECT_EQ(bytes, -1);
}

TEST(ReaderFacadeTest, OpeningChoosesTheTransport)
{
    CReaderFacade reader;
    EXPECT_EQ(reader.openNetwork(QByteArray("not an address"), 1), 0);
    EXPECT_EQ(reader.transport(), CReaderFacade::Network);
    EXPECT_EQ(reader.openSerial(QByteArray(), 115200), 0);
    EXPECT_EQ(reader.transport(), CReaderFacade::Serial);
}
