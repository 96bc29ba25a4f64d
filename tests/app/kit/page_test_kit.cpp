#include "page_test_kit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QThread>

#include <algorithm>

namespace pagetest {

namespace {

const QString shippedData = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);

Bytes resized(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

Bytes joined(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second = {}) {
    Bytes bytes(first.begin(), first.end());
    bytes.insert(bytes.end(), second.begin(), second.end());
    return bytes;
}

}  // namespace

void toggleBy(QAbstractButton *box, ToggleWay way) {
    switch (way) {
        case ToggleWay::Click:
            box->click();
            return;
        case ToggleWay::Keyboard: {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier,
                              QStringLiteral(" "));
            QCoreApplication::sendEvent(box, &press);
            QCoreApplication::sendEvent(box, &release);
            return;
        }
        case ToggleWay::Accessibility:
            QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
                QAccessibleActionInterface::toggleAction());
            return;
    }
}

std::string nameOf(ToggleWay way) {
    switch (way) {
        case ToggleWay::Click:
            return "Click";
        case ToggleWay::Keyboard:
            return "Keyboard";
        case ToggleWay::Accessibility:
            return "Accessibility";
    }
    return {};
}

QString accessibleName(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

QStringList accessibleLabels(QWidget *widget) {
    QStringList labels;
    const auto relations =
        QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label);
    for (const auto &[label, relation] : relations) labels.append(label->text(QAccessible::Name));
    return labels;
}

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// ---- CScriptedReader ----------------------------------------------------------------------

void CScriptedReader::answer(const std::string &command, std::optional<Bytes> reply) {
    answerWith(command, [reply](const ReaderCall &) { return reply; });
}

void CScriptedReader::answerWith(const std::string &command, Answer answer) {
    std::lock_guard lock(m_mutex);
    m_answers[command] = std::move(answer);
}

std::vector<ReaderCall> CScriptedReader::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<ReaderCall> CScriptedReader::callsOf(const std::string &command) const {
    std::vector<ReaderCall> matching;
    for (const ReaderCall &call : calls())
        if (call.command == command) matching.push_back(call);
    return matching;
}

void CScriptedReader::clearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::optional<Bytes> CScriptedReader::ask(ReaderCall call) {
    Answer answer;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        const auto found = m_answers.find(call.command);
        if (found == m_answers.end()) return std::nullopt;
        answer = found->second;
    }
    // Outside the lock: an answer may take its time like a slow reader.
    return answer(call);
}

template <std::size_t Size>
std::optional<std::array<std::uint8_t, Size>> CScriptedReader::askFixed(ReaderCall call) {
    const std::optional<Bytes> reply = ask(std::move(call));
    if (!reply) return std::nullopt;
    std::array<std::uint8_t, Size> fixed{};
    std::copy_n(reply->begin(), std::min(reply->size(), Size), fixed.begin());
    return fixed;
}

std::optional<SystemInfo> CScriptedReader::systemInfo() {
    return askFixed<10>({"systemInfo", {}, {}});
}

std::optional<ParamRecord> CScriptedReader::readRecord(RecordKind kind, int length) {
    const std::optional<Bytes> reply = ask({"readRecord", {int(kind), length}, {}});
    if (!reply) return std::nullopt;
    ParamRecord record;
    record.lead = reply->empty() ? 0 : reply->front();
    record.bytes = resized(reply->empty() ? Bytes{} : Bytes(reply->begin() + 1, reply->end()),
                           static_cast<std::size_t>(length));
    return record;
}

bool CScriptedReader::writeRecord(RecordKind kind, const ParamRecord &record) {
    Bytes bytes{record.lead};
    bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
    return ask({"writeRecord", {int(kind), int(record.bytes.size())}, bytes}).has_value();
}

bool CScriptedReader::defaultRecord(RecordKind kind) {
    return ask({"defaultRecord", {int(kind)}, {}}).has_value();
}

std::optional<DeviceTime> CScriptedReader::readTime() {
    return askFixed<6>({"readTime", {}, {}});
}

bool CScriptedReader::setTime(const DeviceTime &time) {
    return ask({"setTime", {}, joined(time)}).has_value();
}

std::optional<std::uint8_t> CScriptedReader::checkModule() {
    const auto reply = askFixed<1>({"checkModule", {}, {}});
    return reply ? std::optional<std::uint8_t>((*reply)[0]) : std::nullopt;
}

std::optional<std::array<std::uint8_t, 2>> CScriptedReader::checkAntennas() {
    return askFixed<2>({"checkAntennas", {}, {}});
}

std::optional<std::uint8_t> CScriptedReader::simState() {
    const auto reply = askFixed<1>({"simState", {}, {}});
    return reply ? std::optional<std::uint8_t>((*reply)[0]) : std::nullopt;
}

std::optional<std::array<std::uint8_t, 8>> CScriptedReader::gprsSignal() {
    return askFixed<8>({"gprsSignal", {}, {}});
}

std::optional<std::array<std::uint8_t, 64>> CScriptedReader::cellLocation() {
    return askFixed<64>({"cellLocation", {}, {}});
}

std::optional<Bytes> CScriptedReader::gps() {
    const std::optional<Bytes> reply = ask({"gps", {}, {}});
    return reply ? std::optional<Bytes>(resized(*reply, 1024)) : std::nullopt;
}

std::optional<InventoryResult> CScriptedReader::inventory() {
    const std::optional<Bytes> reply = ask({"inventory", {}, {}});
    if (!reply) return std::nullopt;
    InventoryResult result;
    result.count = reply->empty() ? 0 : reply->front();
    Bytes records = reply->empty() ? Bytes{} : Bytes(reply->begin() + 1, reply->end());
    result.byteLength = static_cast<std::uint16_t>(records.size());
    result.records = resized(std::move(records), InventoryResult::bufferSize);
    return result;
}

std::optional<Bytes> CScriptedReader::readTag(const AccessPassword &password, std::uint8_t bank,
                                              std::uint8_t wordAddress, std::uint8_t wordCount) {
    const std::optional<Bytes> reply =
        ask({"readTag", {bank, wordAddress, wordCount}, joined(password)});
    return reply ? std::optional<Bytes>(resized(*reply, std::size_t(wordCount) * 2)) : std::nullopt;
}

bool CScriptedReader::writeTag(const AccessPassword &password, std::uint8_t bank,
                               std::uint8_t wordAddress, std::uint8_t wordCount,
                               std::span<const std::uint8_t> data) {
    return ask({"writeTag", {bank, wordAddress, wordCount}, joined(password, data)}).has_value();
}

bool CScriptedReader::writeEpc(const AccessPassword &password, std::span<const std::uint8_t> epc,
                               std::uint8_t wordCount) {
    return ask({"writeEpc", {wordCount}, joined(password, epc)}).has_value();
}

bool CScriptedReader::lockTag(const AccessPassword &password, std::uint8_t lockCode) {
    return ask({"lockTag", {lockCode}, joined(password)}).has_value();
}

bool CScriptedReader::reboot() {
    return ask({"reboot", {}, {}}).has_value();
}

bool CScriptedReader::relayOn() {
    return ask({"relayOn", {}, {}}).has_value();
}

bool CScriptedReader::relayOff() {
    return ask({"relayOff", {}, {}}).has_value();
}

bool CScriptedReader::startActiveMode() {
    return ask({"startActiveMode", {}, {}}).has_value();
}

bool CScriptedReader::stopActiveMode() {
    return ask({"stopActiveMode", {}, {}}).has_value();
}

std::optional<std::vector<WhiteListEntry>> CScriptedReader::readWhiteList(std::uint16_t start) {
    const std::optional<Bytes> reply = ask({"readWhiteList", {start}, {}});
    if (!reply) return std::nullopt;
    std::vector<WhiteListEntry> entries(reply->size() / 4);
    for (std::size_t index = 0; index < entries.size(); ++index)
        std::copy_n(reply->begin() + static_cast<std::ptrdiff_t>(index * 4), 4,
                    entries[index].begin());
    return entries;
}

bool CScriptedReader::writeWhiteList(std::span<const WhiteListEntry> entries) {
    Bytes bytes;
    for (const WhiteListEntry &entry : entries)
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    return ask({"writeWhiteList", {static_cast<int>(entries.size())}, bytes}).has_value();
}

bool CScriptedReader::deleteWhiteListEntry(const WhiteListEntry &entry) {
    return ask({"deleteWhiteListEntry", {}, joined(entry)}).has_value();
}

bool CScriptedReader::clearWhiteList() {
    return ask({"clearWhiteList", {}, {}}).has_value();
}

std::optional<DeviceCache> CScriptedReader::readCache() {
    const std::optional<Bytes> reply = ask({"readCache", {}, {}});
    if (!reply) return std::nullopt;
    const Bytes whole = resized(*reply, std::max<std::size_t>(reply->size(), 2));
    return DeviceCache{static_cast<std::uint16_t>(whole[0] << 8 | whole[1]),
                       Bytes(whole.begin() + 2, whole.end())};
}

bool CScriptedReader::clearCache() {
    return ask({"clearCache", {}, {}}).has_value();
}

bool CScriptedReader::sendFirmwareBlock(const std::optional<AccessPassword> &password,
                                        std::uint16_t number, std::span<const std::uint8_t> block) {
    const Bytes bytes = password ? joined(*password, block) : joined(block);
    return ask({"sendFirmwareBlock", {number}, bytes}).has_value();
}

bool CScriptedReader::endFirmware(const std::optional<AccessPassword> &password) {
    return ask({"endFirmware", {}, password ? joined(*password) : Bytes{}}).has_value();
}

// ---- CFakeMainWindow ----------------------------------------------------------------------

CFakeMainWindow::CFakeMainWindow(IReader &reader, CReaderFacade *facade, const QString &language)
    : m_reader(reader),
      m_events(std::make_unique<CReaderEvents>(facade ? *facade : m_ownFacade)),
      m_worker(std::make_unique<CReaderWorker>(reader)) {
    m_language.load(shippedData + QStringLiteral("/Language/") + language + QStringLiteral(".ini"));
}

CFakeMainWindow::~CFakeMainWindow() {
    m_worker->stop();
    m_events->setReportsEnabled(false);
    m_events->setTrafficEnabled(false);
}

QStringList CFakeMainWindow::logLines() const {
    std::lock_guard lock(m_logMutex);
    return m_log;
}

bool CFakeMainWindow::waitForLog(const QString &line) {
    return waitUntil([&] { return logLines().contains(line); });
}

QStringList CFakeMainWindow::languageNames() const {
    return {QStringLiteral("Chinese"), QStringLiteral("English")};
}

QStringList CFakeMainWindow::frequencyPresets() const {
    return {QStringLiteral("US Freq,902.75,927.25"), QStringLiteral("EU Freq,865.1,867.9")};
}

QStringList CFakeMainWindow::protocols() const {
    return {QStringLiteral("1,0x02 Head HexID 0x03 0x0D 0x0A end"), QStringLiteral("2,test1"),
            QStringLiteral("3,test2")};
}

QString CFakeMainWindow::dataFile(const QString &relativePath) const {
    return shippedData + u'/' + relativePath;
}

QString CFakeMainWindow::setting(const QString &key) const {
    return settings.value(key, QStringLiteral("default"));
}

void CFakeMainWindow::postLog(const QString &line) {
    std::lock_guard lock(m_logMutex);
    m_log.append(line);
}

void CFakeMainWindow::closeConnection() {
    ++closeRequests;
    connected = false;
}

void CFakeMainWindow::readerMovedTo(const ReaderEndpoint &endpoint) {
    if (const auto *serial = std::get_if<SerialEndpoint>(&endpoint)) {
        serialMove = *serial;
        return;
    }
    const auto &network = std::get<NetworkEndpoint>(endpoint);
    networkAddress = network.address;
    networkPort = QString::number(network.port);
}

// ---- CVirtualReaderSession ------------------------------------------------------------------

CVirtualReaderSession::CVirtualReaderSession(const std::string &family, int tagCount)
    : m_virtual(std::make_unique<readersim::VirtualReader>(
          readersim::ReaderOptions{.family = family, .tagCount = tagCount})) {
    m_port = m_virtual->serveTcp(0);
    m_open = m_facade.openNetwork("127.0.0.1", m_port) != 0;
}

bool CVirtualReaderSession::reopen() {
    m_facade.closeDevice();
    m_open = waitUntil([this] { return m_facade.openNetwork("127.0.0.1", m_port) != 0; });
    return m_open;
}

CVirtualReaderSession::~CVirtualReaderSession() {
    m_facade.setCallback(nullptr);
    m_facade.setCallbackDebug(nullptr);
    m_facade.closeDevice();
}

}  // namespace pagetest
