// What page tests stand on: a scripted reader that answers by command and records every call,
// a fake main window around any reader, a virtual reader served over TCP for end-to-end runs,
// and a wait that keeps the event loop running.
#pragma once

#include "kit/CLanguageStore.h"
#include "kit/CShellPrompts.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReader.h"
#include "reader/CReaderEvents.h"
#include "reader/CReaderFacade.h"
#include "reader/CReaderWorker.h"
#include "virtual_reader.h"

#include <QHash>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QWidget;

namespace pagetest {

// The ways a person or an assistive tool changes a check box: a mouse click, the space key,
// and the accessibility interface's toggle action (what AT-SPI's "Toggle" calls).
enum class ToggleWay { Click, Keyboard, Accessibility };
void toggleBy(QAbstractButton *box, ToggleWay way);
std::string nameOf(ToggleWay way);

// The name a screen reader announces for a widget, and the captions it is labelled by.
QString accessibleName(QWidget *widget);
QStringList accessibleLabels(QWidget *widget);

// Processes events until the condition holds or the deadline passes.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(30));

// One call a page made: the command (IReader's method name), its small arguments in order
// (kind, length, bank, word address, word count, lock code) and its byte arguments
// (password first, then data or record; a record write starts with its leading byte).
struct ReaderCall {
    std::string command;
    std::vector<int> arguments;
    Bytes bytes;
};

// Answers every command from a script: a reply's bytes (nothing = the command fails). Typed
// results are cut or zero-padded from the bytes: a record read is the leading byte then the
// record; an inventory is the tag count then the records. Unscripted commands fail.
class CScriptedReader final : public IReader {
  public:
    using Answer = std::function<std::optional<Bytes>(const ReaderCall &call)>;

    void answer(const std::string &command, std::optional<Bytes> reply);
    void answerWith(const std::string &command, Answer answer);
    std::vector<ReaderCall> calls() const;
    std::vector<ReaderCall> callsOf(const std::string &command) const;
    void clearCalls();

    std::optional<SystemInfo> systemInfo() override;
    std::optional<ParamRecord> readRecord(RecordKind kind, int length) override;
    bool writeRecord(RecordKind kind, const ParamRecord &record) override;
    bool defaultRecord(RecordKind kind) override;
    std::optional<DeviceTime> readTime() override;
    bool setTime(const DeviceTime &time) override;
    std::optional<std::uint8_t> checkModule() override;
    std::optional<std::array<std::uint8_t, 2>> checkAntennas() override;
    std::optional<std::uint8_t> simState() override;
    std::optional<std::array<std::uint8_t, 8>> gprsSignal() override;
    std::optional<std::array<std::uint8_t, 64>> cellLocation() override;
    std::optional<Bytes> gps() override;
    std::optional<InventoryResult> inventory() override;
    std::optional<Bytes> readTag(const AccessPassword &password, std::uint8_t bank,
                                 std::uint8_t wordAddress, std::uint8_t wordCount) override;
    bool writeTag(const AccessPassword &password, std::uint8_t bank, std::uint8_t wordAddress,
                  std::uint8_t wordCount, std::span<const std::uint8_t> data) override;
    bool writeEpc(const AccessPassword &password, std::span<const std::uint8_t> epc,
                  std::uint8_t wordCount) override;
    bool lockTag(const AccessPassword &password, std::uint8_t lockCode) override;
    bool reboot() override;
    bool relayOn() override;
    bool relayOff() override;
    bool startActiveMode() override;
    bool stopActiveMode() override;
    // White list replies are the entries' bytes; a cache reply is the record count (two bytes,
    // big-endian) then the records; a firmware call's bytes are its password, if any, then the
    // block.
    std::optional<std::vector<WhiteListEntry>> readWhiteList(std::uint16_t start) override;
    bool writeWhiteList(std::span<const WhiteListEntry> entries) override;
    bool deleteWhiteListEntry(const WhiteListEntry &entry) override;
    bool clearWhiteList() override;
    std::optional<DeviceCache> readCache() override;
    bool clearCache() override;
    bool sendFirmwareBlock(const std::optional<AccessPassword> &password, std::uint16_t number,
                           std::span<const std::uint8_t> block) override;
    bool endFirmware(const std::optional<AccessPassword> &password) override;

  private:
    std::optional<Bytes> ask(ReaderCall call);
    template <std::size_t Size>
    std::optional<std::array<std::uint8_t, Size>> askFixed(ReaderCall call);

    mutable std::mutex m_mutex;
    std::map<std::string, Answer> m_answers;
    std::vector<ReaderCall> m_calls;
};

struct Prompt {
    QString caption;
    QString body;
};

// Message boxes and file choosers without dialogs: answers set beforehand, every question
// and notice kept.
class CRecordingPrompts final : public IShellPrompts {
  public:
    bool confirm(const QString &caption, const QString &body) override {
        confirmations.append({caption, body});
        return confirmAnswer;
    }
    void inform(const QString &caption, const QString &body) override {
        notices.append({caption, body});
    }
    QString chooseFileToOpen(const QString &initialPath, const QString &filter) override {
        openPath = initialPath;
        openFilter = filter;
        return fileToOpen;
    }
    QString chooseFileToSave(const QString &title, const QString &proposedPath,
                             const QString &filter) override {
        saveTitle = title;
        proposed = proposedPath;
        saveFilter = filter;
        if (onSaveChooser) onSaveChooser();
        return fileToSave;
    }

    QStringList noticeBodies() const {
        QStringList bodies;
        for (const Prompt &notice : notices) bodies.append(notice.body);
        return bodies;
    }

    bool confirmAnswer = true;
    QString fileToOpen;
    QString fileToSave;
    std::function<void()> onSaveChooser;
    QList<Prompt> confirmations;
    QList<Prompt> notices;
    QString openPath, openFilter, saveTitle, proposed, saveFilter;
};

// A main window for pages under test: any reader, a real reader worker and reader events, the
// shipped language texts, settings from a map, and a record of what the page asked of the
// window.
class CFakeMainWindow final : public IMainWindowServices {
  public:
    // language: "Chinese" or "English", loaded from the shipped data folder. The reader events
    // register their callbacks through `facade` (the session's, for end-to-end runs).
    explicit CFakeMainWindow(IReader &reader, CReaderFacade *facade = nullptr,
                             const QString &language = QStringLiteral("English"));
    ~CFakeMainWindow() override;

    bool connected = true;
    Transport transportInUse = Transport::Network;
    std::uint8_t type = 0x50;
    std::array<std::uint8_t, 7> serial{0x50, 0x20, 0x26, 0x12, 0x08, 0x00, 0x01};
    QHash<QString, QString> settings;
    bool gs1ColumnShown = false;
    int closeRequests = 0;
    // Where the page said the reader moved to: the network fields as the panel would show
    // them, the serial rate.
    QString networkAddress;
    QString networkPort;
    std::optional<SerialEndpoint> serialMove;
    // What the page's message boxes and file choosers asked, and the answers they get.
    CRecordingPrompts dialogs;

    QStringList logLines() const;
    bool waitForLog(const QString &line);

    bool isConnected() const override { return connected; }
    Transport transport() const override { return transportInUse; }
    std::uint8_t deviceType() const override { return type; }
    std::array<std::uint8_t, 7> serialNumber() const override { return serial; }
    IReader &reader() override { return m_reader; }
    CReaderWorker &worker() override { return *m_worker; }
    CReaderEvents &events() override { return *m_events; }
    IShellPrompts &prompts() override { return dialogs; }
    using IMainWindowServices::text;
    QString text(int key) const override { return m_language.text(key); }
    QStringList languageNames() const override;
    QStringList frequencyPresets() const override;
    QStringList protocols() const override;
    QString dataFile(const QString &relativePath) const override;
    QString setting(const QString &key) const override;
    bool gs1Column() const override { return gs1ColumnShown; }
    void setGs1Column(bool shown) override { gs1ColumnShown = shown; }
    void postLog(const QString &line) override;
    void closeConnection() override;
    void readerMovedTo(const ReaderEndpoint &endpoint) override;

  private:
    IReader &m_reader;
    CLanguageStore m_language;
    CReaderFacade m_ownFacade;
    std::unique_ptr<CReaderEvents> m_events;
    std::unique_ptr<CReaderWorker> m_worker;
    mutable std::mutex m_logMutex;
    QStringList m_log;
};

// A virtual reader of a family served over TCP on loopback, and the network library opened
// to it: pages run against it end to end.
class CVirtualReaderSession {
  public:
    explicit CVirtualReaderSession(const std::string &family = "fir", int tagCount = 5);
    ~CVirtualReaderSession();

    readersim::VirtualReader &virtualReader() { return *m_virtual; }
    IReader &reader() { return m_reader; }
    CReaderFacade &facade() { return m_facade; }
    bool isOpen() const { return m_open; }
    // What the operator does after the reader restarted: close, then open again (the reader
    // may still be away for a while).
    bool reopen();

  private:
    std::unique_ptr<readersim::VirtualReader> m_virtual;
    std::uint16_t m_port = 0;
    CReaderFacade m_facade;
    CReader m_reader{m_facade};
    bool m_open = false;
};

}  // namespace pagetest
