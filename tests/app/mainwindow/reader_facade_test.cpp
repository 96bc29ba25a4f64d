#include "reader/CReaderFacade.h"

#include <gtest/gtest.h>

#include <array>

// Without an open connection every library refuses its commands; these tests only check the
// dispatch that needs no reader. Calls against a reader are covered by the main window tests.

TEST(ReaderFacadeTest, StartsOnTheSerialTransport) {
    const CReaderFacade reader;
    EXPECT_EQ(reader.transport(), Transport::Serial);
}

TEST(ReaderFacadeTest, CommandsFailWhileNothingIsOpen) {
    CReaderFacade reader;
    for (const Transport transport : {Transport::Serial, Transport::Usb, Transport::Network}) {
        reader.setTransport(transport);
        EXPECT_EQ(reader.relayOn(), 0) << static_cast<int>(transport);
        EXPECT_EQ(reader.setCallbackDebug(nullptr), 1) << static_cast<int>(transport);
    }
}

TEST(ReaderFacadeTest, TheNetworkTransportHasNoTagBuffer) {
    CReaderFacade reader;
    reader.setTransport(Transport::Network);
    std::int32_t bytes = -1;
    std::int32_t tags = -1;
    std::array<std::uint8_t, 16> records{};
    EXPECT_EQ(reader.getTagBuf(records.data(), &bytes, &tags), 0);
    EXPECT_EQ(reader.clearTagBuf(), 0);
    EXPECT_EQ(bytes, -1);
}

TEST(ReaderFacadeTest, OpeningChoosesTheTransport) {
    CReaderFacade reader;
    EXPECT_EQ(reader.openNetwork(QByteArray("not an address"), 1), 0);
    EXPECT_EQ(reader.transport(), Transport::Network);
    EXPECT_EQ(reader.openSerial(QByteArray(), 115200), 0);
    EXPECT_EQ(reader.transport(), Transport::Serial);
}
