#pragma once

#include "reader/CConnection.h"
#include "reader_transport.h"
#include "text_keys.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

class CReaderEvents;
class CReaderWorker;
class IReader;
class IShellPrompts;

// What a page may use of the main window: the connection, the reader (through the reader
// worker), the library events, the text table, the configuration lists, the message boxes, the log,
// Close, and where the reader listens after a parameter page changed its own address or baud rate.
// The main window implements it and hands it to each page it creates; tests hand pages a fake.
class IMainWindowServices {
public:
    virtual ~IMainWindowServices() = default;

    // Whether the connection is open; callable from any thread.
    virtual bool isConnected() const = 0;
    // The transport chosen at the last Open; before it, the configured one.
    virtual Transport transport() const = 0;
    // Type byte of the connected reader (the first byte of its serial number); 0 before the
    // first Open. It keeps its value after Close.
    virtual std::uint8_t deviceType() const = 0;
    // The 7-byte serial number of the reader last opened (zeros before the first Open).
    virtual std::array<std::uint8_t, 7> serialNumber() const = 0;

    // The reader of the transport in use. Call it only from jobs of the reader worker (or
    // from a page's own loop thread), never from the user-interface thread.
    virtual IReader &reader() = 0;
    // Runs page operations off the user-interface thread, one after the other.
    virtual CReaderWorker &worker() = 0;
    // Link events, traffic and active-mode reports; connectionChanged tells when a
    // connection opened or closed.
    virtual CReaderEvents &events() = 0;

    // Language text of the key (1000..1499); empty when not loaded.
    virtual QString text(int key) const = 0;
    QString text(Text key) const { return text(keyNumber(key)); }
    virtual QStringList languageNames() const = 0;
    virtual QStringList frequencyPresets() const = 0;
    virtual QStringList protocols() const = 0;
    // Path of a data file (logo/hello.bmp, ...) where it was found: working directory, then
    // next to the program, then the installed data folder; empty when nowhere.
    virtual QString dataFile(const QString &relativePath) const = 0;
    // A setting of SystemConfig.ini read as text ("default" when missing); never written.
    virtual QString setting(const QString &key) const = 0;
    // Whether the tag lists show their GS1 column; the switch is remembered in the
    // configuration.
    virtual bool gs1Column() const = 0;
    virtual void setGs1Column(bool shown) = 0;

    // The message boxes and file choosers of every page and action (tests answer them).
    virtual IShellPrompts &prompts() = 0;

    // Appends a line to the message list and the log file; callable from any thread.
    virtual void postLog(const QString &line) = 0;
    // The Close button's operation.
    virtual void closeConnection() = 0;
    // The reader now listens there (a new serial rate, or a new network address after its
    // restart): the next Open of that transport goes there.
    virtual void readerMovedTo(const ReaderEndpoint &endpoint) = 0;
};
