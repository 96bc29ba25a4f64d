// The connection panel on its own: what it reads from its fields and which buttons it enables.
#include "shell/CConnectionPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <gtest/gtest.h>

namespace {

template <typename Widget>
Widget *childOf(const CConnectionPanel &panel, const char *name) {
    return panel.findChild<Widget *>(QString::fromLatin1(name));
}

QValidator::State validate(QLineEdit *field, QString text) {
    int position = 0;
    return field->validator()->validate(text, position);
}

}  // namespace

TEST(ConnectionPanelTest, BaudRatesSelectTheirEntriesAndNoSelectionGives115200) {
    CConnectionPanel panel;
    const int rates[] = {9600, 19200, 38400, 57600, 115200};
    for (int position = 0; position < 5; ++position) {
        panel.showEndpoint(SerialEndpoint{rates[position]});
        EXPECT_EQ(panel.baudPosition(), position);
        EXPECT_EQ(panel.baudRate(), rates[position]);
    }
    for (const std::optional<int> unlisted : {std::optional<int>(), std::optional<int>(4800)}) {
        panel.showEndpoint(SerialEndpoint{unlisted});
        EXPECT_EQ(panel.baudPosition(), -1);
        EXPECT_EQ(panel.baudRate(), 115200);
    }
    EXPECT_EQ(childOf<QComboBox>(panel, "baudList")->itemText(0), QStringLiteral("9600bps"));
}

TEST(ConnectionPanelTest, TheAddressIsFourNumbers) {
    CConnectionPanel panel;
    panel.setNetworkFields(QStringLiteral("10.0.0.7"), QStringLiteral("4001"));
    EXPECT_EQ(panel.ipAddressText(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(panel.portText(), QStringLiteral("4001"));
    // A stored address that is no address leaves the field empty; Open then sends 0.0.0.0.
    panel.setNetworkFields(QStringLiteral("default"), QStringLiteral("60000"));
    EXPECT_TRUE(childOf<QLineEdit>(panel, "ipField")->text().isEmpty());
    EXPECT_EQ(panel.ipAddressText(), QStringLiteral("0.0.0.0"));
    childOf<QLineEdit>(panel, "ipField")->setText(QStringLiteral("192.168."));
    EXPECT_EQ(panel.ipAddressText(), QStringLiteral("192.168.0.0"));
}

TEST(ConnectionPanelTest, FieldsAcceptOnlyWhatTheyHold) {
    CConnectionPanel panel;
    auto *port = childOf<QLineEdit>(panel, "portField");
    EXPECT_EQ(port->maxLength(), 5);
    EXPECT_EQ(validate(port, QStringLiteral("65000")), QValidator::Acceptable);
    EXPECT_EQ(validate(port, QStringLiteral("6a")), QValidator::Invalid);
    auto *address = childOf<QLineEdit>(panel, "ipField");
    EXPECT_EQ(validate(address, QStringLiteral("192.168.1.250")), QValidator::Acceptable);
    EXPECT_EQ(validate(address, QStringLiteral("192.168.1.")), QValidator::Intermediate);
    EXPECT_EQ(validate(address, QStringLiteral("192.168.1.256")), QValidator::Invalid);
}

TEST(ConnectionPanelTest, TransportFollowsTheCheckedButton) {
    CConnectionPanel panel;
    for (const Transport transport : {Transport::Serial, Transport::Usb, Transport::Network}) {
        panel.selectTransport(transport);
        EXPECT_EQ(panel.chosenTransport(Transport::Serial), transport);
    }
}

TEST(ConnectionPanelTest, OpenAndClosedStatesEnableTheirButtons) {
    CConnectionPanel panel;
    const auto enabled = [&](const char *name) {
        return childOf<QPushButton>(panel, name)->isEnabled();
    };
    EXPECT_TRUE(enabled("openButton"));
    EXPECT_FALSE(enabled("closeButton"));
    panel.showState(CConnection::State::Open, true);
    EXPECT_FALSE(enabled("openButton"));
    EXPECT_TRUE(enabled("closeButton"));
    EXPECT_TRUE(enabled("relayCloseButton"));
    EXPECT_TRUE(enabled("relayReleaseButton"));
    panel.setProfileButtonsEnabled(true);
    EXPECT_TRUE(enabled("exportButton"));
    EXPECT_TRUE(enabled("importButton"));
    panel.showState(CConnection::State::Closing, true);
    EXPECT_FALSE(enabled("exportButton"));
    EXPECT_FALSE(enabled("importButton"));
    panel.showState(CConnection::State::Open, false);
    EXPECT_FALSE(enabled("relayCloseButton"));
    EXPECT_FALSE(enabled("relayReleaseButton"));
    panel.showState(CConnection::State::Closed, true);
    EXPECT_TRUE(enabled("openButton"));
    EXPECT_FALSE(enabled("closeButton"));
    EXPECT_FALSE(enabled("relayCloseButton"));
}

TEST(ConnectionPanelTest, DeviceListsSelectTheirFirstEntries) {
    CConnectionPanel panel;
    panel.setDeviceLists({QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")},
                         {QStringLiteral("sim:127.0.0.1:1")});
    EXPECT_EQ(panel.serialPortName(), QStringLiteral("ttyS0"));
    EXPECT_EQ(panel.serialPosition(), 0);
    EXPECT_EQ(panel.usbPosition(), 0);
    panel.setDeviceLists({}, {});
    EXPECT_TRUE(panel.serialPortName().isEmpty());
    EXPECT_EQ(panel.usbPosition(), -1);
    // A typed device path is what Open uses.
    childOf<QComboBox>(panel, "serialList")->setEditText(QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(panel.serialPortName(), QStringLiteral("/dev/pts/7"));
}

TEST(ConnectionPanelTest, OpenRequestsCarryWhatTheFieldsShow) {
    CConnectionPanel panel;
    panel.setDeviceLists({QStringLiteral("ttyS0")},
                         {QStringLiteral("sim:127.0.0.1:1"), QStringLiteral("sim:127.0.0.1:2")});
    panel.showEndpoint(SerialEndpoint{38400});
    const std::optional<OpenRequest> serial = panel.openRequest(Transport::Serial);
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->transport, Transport::Serial);
    EXPECT_EQ(serial->portName, QByteArray("ttyS0"));
    EXPECT_EQ(serial->baudRate, 38400);

    childOf<QComboBox>(panel, "usbList")->setCurrentIndex(1);
    const std::optional<OpenRequest> usb = panel.openRequest(Transport::Usb);
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->usbPosition, 1);

    // The port is the number typed, its low 16 bits.
    panel.setNetworkFields(QStringLiteral("10.0.0.7"), QStringLiteral("70000"));
    const std::optional<OpenRequest> network = panel.openRequest(Transport::Network);
    ASSERT_TRUE(network);
    EXPECT_EQ(network->ipAddress, QByteArray("10.0.0.7"));
    EXPECT_EQ(network->port, 70000 & 0xFFFF);

    // Nothing to open: no port named, no USB device listed.
    panel.setDeviceLists({}, {});
    EXPECT_FALSE(panel.openRequest(Transport::Serial));
    EXPECT_FALSE(panel.openRequest(Transport::Usb));
}
