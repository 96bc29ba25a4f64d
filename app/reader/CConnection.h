#pragma once

#include "reader_transport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <variant>

// What the operator chose to open, as the connection panel showed it when Open was pressed.
// Only the fields of the transport are used.
struct OpenRequest {
    Transport transport = Transport::Serial;
    // Serial: the port name in the system code page and the rate.
    QByteArray portName;
    int baudRate = 0;
    // USB: the position in the USB device list.
    std::uint16_t usbPosition = 0;
    // Network: the dotted IPv4 address and the port.
    QByteArray ipAddress;
    std::uint16_t port = 0;
};

// Where a reader listens after a page changed its serial rate or network address.
struct SerialEndpoint {
    // One of readertransport::serialBaudRates; nothing for a rate no baud list holds.
    std::optional<int> baudRate;
};
struct NetworkEndpoint {
    // A dotted IPv4 address.
    QString address;
    std::uint16_t port = 0;
};
using ReaderEndpoint = std::variant<SerialEndpoint, NetworkEndpoint>;

// The state of the main window's connection to a reader. Open and Close run on the reader
// worker, so the state passes through Opening and Closing while their jobs run. It changes on
// the user-interface thread only and may be read from any thread (page loops and jobs ask
// whether the reader is connected).
class CConnection : public QObject {
    Q_OBJECT

public:
    enum class State { Closed, Opening, Open, Closing };
    Q_ENUM(State)

    using QObject::QObject;

    State state() const { return m_state; }
    bool isOpen() const { return state() == State::Open; }
    // Whether an Open or a Close is on its way.
    bool isPending() const { return state() == State::Opening || state() == State::Closing; }

    // Emits stateChanged when the state differs from the current one.
    void moveTo(State state);

signals:
    void stateChanged(CConnection::State state);

private:
    std::atomic<State> m_state { State::Closed };
};
