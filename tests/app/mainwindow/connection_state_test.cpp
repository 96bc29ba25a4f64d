// The connection's states through real Opens and Closes against the virtual reader, and where
// the next Open goes after a page reported that the reader moved.
#include "main_window_fixture.h"

#include "reader/CReaderEvents.h"

#include <QComboBox>
#include <QMetaEnum>
#include <QPushButton>
#include <QRadioButton>

#include <ostream>

// Failures name the states.
void PrintTo(CConnection::State state, std::ostream *out) {
    *out << QMetaEnum::fromType<CConnection::State>().valueToKey(static_cast<int>(state));
}

namespace mainwindowtest {

namespace {

using State = CConnection::State;

}  // namespace

class ConnectionStateTest : public MainWindowTest {
  protected:
    // Records every state the window's connection passes through from now on.
    void recordStates() {
        QObject::connect(&window_->connection(), &CConnection::stateChanged,
                         [this](State state) { states_.append(state); });
    }

    QList<State> states_;
};

TEST_F(ConnectionStateTest, OpenAndCloseAndAFailedOpenPassThroughTheirStates) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    recordStates();
    EXPECT_EQ(window_->connection().state(), State::Closed);

    openNetwork(port);
    EXPECT_EQ(states_, (QList<State>{State::Opening, State::Open}));
    EXPECT_TRUE(window_->isConnected());

    pressClose();
    EXPECT_EQ(states_, (QList<State>{State::Opening, State::Open, State::Closing, State::Closed}));
    EXPECT_FALSE(window_->isConnected());

    states_.clear();
    reader.reset();
    pressOpen();
    EXPECT_TRUE(waitForMessage(text(1014)));
    EXPECT_EQ(states_, (QList<State>{State::Opening, State::Closed}));
    EXPECT_TRUE(isEnabled("openButton"));
}

TEST_F(ConnectionStateTest, ACloseWhileOpeningEndsClosed) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    recordStates();
    QList<bool> notices;
    QObject::connect(&window_->events(), &CReaderEvents::connectionChanged,
                     [&](bool open) { notices.append(open); });
    window_->preselectNetwork(QStringLiteral("127.0.0.1"), QString::number(port));
    const QByteArray configBefore = configFile();

    child<QPushButton>("openButton")->click();
    // What a page does when its job tells it to close: the Open has not finished yet.
    ASSERT_EQ(window_->connection().state(), State::Opening);
    window_->closeConnection();
    ASSERT_TRUE(waitUntil([this] { return !window_->connectionPending(); }));
    flushMessages();

    EXPECT_EQ(states_, (QList<State>{State::Opening, State::Closing, State::Closed}));
    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(hasMessage(text(1015)));
    EXPECT_TRUE(hasMessage(text(1017)));
    EXPECT_EQ(notices, QList<bool>{false});
    EXPECT_EQ(configFile(), configBefore);
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_TRUE(isEnabled("openButton"));
    EXPECT_FALSE(isEnabled("closeButton"));
    EXPECT_FALSE(isEnabled("exportButton"));
}

TEST_F(ConnectionStateTest, TheNextOpenGoesWhereAPageSaidTheReaderMoved) {
    auto moved = makeReader("fir");
    const std::uint16_t port = moved->serveTcp(0);
    createWindow();
    IMainWindowServices &services = *window_;
    child<QRadioButton>("networkButton")->setChecked(true);

    services.readerMovedTo(NetworkEndpoint{QStringLiteral("127.0.0.1"), port});
    EXPECT_EQ(fieldText("ipField"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(fieldText("portField"), QString::number(port));
    pressOpen();
    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(configText(QStringLiteral("DevPort")), QString::number(port));

    // A serial rate selects its baud entry; a rate the list does not hold selects none.
    auto *baudList = child<QComboBox>("baudList");
    services.readerMovedTo(SerialEndpoint{9600});
    EXPECT_EQ(baudList->currentText(), QStringLiteral("9600bps"));
    services.readerMovedTo(SerialEndpoint{57600});
    EXPECT_EQ(baudList->currentText(), QStringLiteral("57600bps"));
    services.readerMovedTo(SerialEndpoint{std::nullopt});
    EXPECT_EQ(baudList->currentIndex(), -1);
    // The network fields stay as they were.
    EXPECT_EQ(fieldText("portField"), QString::number(port));
}

}  // namespace mainwindowtest
