#pragma once

#include <QString>
#include <QStringList>

class CReaderFacade;

// What a page may use of the main window: the connection, the text table, the configuration
// lists, the log, Close, and the panel fields that parameter pages update after changing the
// reader's own address or baud rate. The main window implements it and hands it to each page
// it creates; tests hand pages a fake.
class IMainWindowServices
{
public:
    virtual ~IMainWindowServices() = default;

    virtual bool isConnected() const = 0;
    // 0 serial, 1 USB, 2 network.
    virtual int transport() const = 0;
    // Calls the library of the transport in use; any thread.
    virtual CReaderFacade &reader() = 0;

    // Language text of the key (1000..1499); empty when not loaded.
    virtual QString text(int key) const = 0;
    virtual QStringList languageNames() const = 0;
    virtual QStringList frequencyPresets() const = 0;
    virtual QStringList protocols() const = 0;

    // Appends a line to the message list and the log file; callable from any thread.
    virtual void postLog(const QString &line) = 0;
    // The Close button's operation.
    virtual void closeConnection() = 0;
    // The network fields used by the next network Open: dotted IPv4 address and port text.
    virtual void setNetworkFields(const QString &ipAddress, const QString &portText) = 0;
    // Moves the baud list's selection (0 9600 ... 4 115200).
    virtual void setBaudPosition(int position) = 0;
};
