#include "virtual_reader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "answer_shaper.h"
#include "connect_out.h"
#include "hex_text.h"
#include "lively_field.h"
#include "pty_port.h"
#include "reader_model.h"
#include "socket_server.h"

namespace readersim {

namespace {

// Pause between the pieces of a split answer, so they arrive as separate reads.
constexpr std::chrono::milliseconds kSplitPause{2};
// Active mode with no host to send to: look again after this long.
constexpr std::chrono::milliseconds kNoPeerPause{10};
// A fast stream that fell behind (a scheduling hiccup) catches up on this much lost time, so
// its rate holds; longer stalls are not made up in one burst.
constexpr std::chrono::milliseconds kCatchUpWindow{20};
// A rebooting reader is away this long: every connection drops and comes back after it.
constexpr std::chrono::milliseconds kRestartTime{300};

uint8_t parseTypeOrThrow(const std::string &family) {
    const std::optional<uint8_t> type = readerfamily::parseFamilyOrType(family);
    if (!type) throw std::invalid_argument("unknown reader family: " + family);
    return *type;
}

std::string hex(std::span<const uint8_t> bytes) {
    std::string text = hextext::spaced(bytes);
    if (!text.empty()) text.pop_back();
    return text;
}

}  // namespace

struct VirtualReader::Impl {
    explicit Impl(ReaderOptions opts)
        : options(std::move(opts)),
          model(parseTypeOrThrow(options.family), options.livelyField ? 0 : options.tagCount) {
        if (options.livelyField) {
            lively.emplace();
            lively->populate(model);
        }
    }

    void handleFrame(const Bytes &frame, HostLink &link);
    void deliver(HostLink &link, Bytes answer, bool fromModel, uint64_t ticket);
    bool pause(std::chrono::milliseconds delay, uint64_t ticket);
    uint64_t currentPlugTicket();
    std::vector<HostLink *> links();
    void runActive();
    void wakeActive();
    void replugAfter(std::chrono::milliseconds delay, uint64_t ticket);
    void setTransportsPlugged(bool plugged);
    void runRestarts();
    void requestRestart();

    ReaderOptions options;

    mutable std::mutex modelMutex;
    ReaderModel model;
    std::optional<LivelyField> lively;  // moves on as requests come in

    mutable std::mutex faultMutex;
    Faults faults;
    AnswerShaper shaper;

    mutable std::mutex logMutex;
    mutable std::condition_variable logChanged;
    std::vector<Bytes> requestLog;

    std::mutex overrideMutex;
    AnswerOverride answerOverride;

    mutable std::mutex transportMutex;
    std::unique_ptr<SocketServer> tcp;
    std::unique_ptr<SocketServer> hid;
    std::unique_ptr<PtyPort> pty;
    std::unique_ptr<ConnectOut> connectOut;

    // Stop flag, active-mode wake-ups and the reconnect timer share one lock.
    std::mutex controlMutex;
    std::condition_variable controlChanged;
    bool stopping = false;
    uint64_t activeWakeups = 0;
    uint64_t idleSinceWakeup = 0;  // the wake-up after which the active thread last found
                                   // nothing to send
    uint64_t plugTicket = 0;       // bumped by every unplug and replug
    uint64_t restartRequests = 0;
    std::thread dropThread;
    std::thread activeThread;
    // Restarts run here: the transport that took the reboot command cannot unplug itself.
    std::thread restartThread;
    std::atomic<uint64_t> reportsSent{0};
};

void VirtualReader::Impl::handleFrame(const Bytes &frame, HostLink &link) {
    // Taken before the request is logged: an unplug after a test saw the request voids the
    // answer.
    const uint64_t ticket = currentPlugTicket();
    {
        std::lock_guard lock(logMutex);
        const size_t limit = options.requestLogLimit;
        if (limit > 0 && requestLog.size() >= limit) {
            const auto excess = static_cast<std::ptrdiff_t>(requestLog.size() - limit + 1);
            requestLog.erase(requestLog.begin(), requestLog.begin() + excess);
        }
        requestLog.push_back(frame);
    }
    logChanged.notify_all();

    std::optional<Bytes> answer;
    bool fromModel = false;
    bool restart = false;
    {
        std::lock_guard lock(overrideMutex);
        if (answerOverride) answer = answerOverride(frame);
    }
    if (!answer) {
        const std::optional<Request> request = decodeRequest(frame);
        if (request) {
            std::lock_guard lock(modelMutex);
            if (lively) lively->step(model, std::chrono::steady_clock::now());
            answer = model.answer(*request);
            restart = model.takeRestartRequest();
            fromModel = true;
        }
    }
    if (options.verbose)
        std::fprintf(stderr, "request %s -> answer %s\n", hex(frame).c_str(),
                     answer ? hex(*answer).c_str() : "(none)");
    if (answer && !answer->empty()) deliver(link, std::move(*answer), fromModel, ticket);
    // The reader restarts after answering.
    if (restart) requestRestart();
    // The command may have started active mode: the first report follows its answer.
    if (fromModel) wakeActive();
}

void VirtualReader::Impl::deliver(HostLink &link, Bytes answer, bool fromModel, uint64_t ticket) {
    Faults active;
    {
        std::lock_guard lock(faultMutex);
        active = faults;
    }
    if (active.answerDelay.count() > 0 && !pause(active.answerDelay, ticket)) return;
    std::vector<Bytes> writes;
    {
        std::lock_guard lock(faultMutex);
        writes = shaper.shape(std::move(answer), fromModel, active, link.heldAnswer);
    }
    if (currentPlugTicket() != ticket) return;  // the asking connection is gone
    for (size_t i = 0; i < writes.size(); ++i) {
        if (i > 0 && !pause(kSplitPause, ticket)) return;
        if (!link.send(writes[i])) return;
    }
}

// Sleeps; false when the reader is being destroyed or was unplugged or replugged meanwhile
// (the answer belongs to a connection that is gone).
bool VirtualReader::Impl::pause(std::chrono::milliseconds delay, uint64_t ticket) {
    std::unique_lock lock(controlMutex);
    return !controlChanged.wait_for(lock, delay, [&] { return stopping || plugTicket != ticket; });
}

uint64_t VirtualReader::Impl::currentPlugTicket() {
    std::lock_guard lock(controlMutex);
    return plugTicket;
}

std::vector<HostLink *> VirtualReader::Impl::links() {
    std::lock_guard lock(transportMutex);
    std::vector<HostLink *> all;
    if (tcp) all.push_back(tcp.get());
    if (hid) all.push_back(hid.get());
    if (pty) all.push_back(pty.get());
    if (connectOut) all.push_back(connectOut.get());
    return all;
}

void VirtualReader::Impl::wakeActive() {
    {
        std::lock_guard lock(controlMutex);
        ++activeWakeups;
    }
    controlChanged.notify_all();
}

// Pushes reports while the model says active mode runs, paced by the model's period. A
// wake-up (any answered command) sends the first report of a run at once, and otherwise only
// makes the thread look at the model again: the pace stays the period's.
void VirtualReader::Impl::runActive() {
    auto nextReport = std::chrono::steady_clock::now();
    bool reporting = false;  // the last look found active mode running
    std::unique_lock control(controlMutex);
    while (!stopping) {
        const uint64_t seenWakeups = activeWakeups;
        control.unlock();
        bool running = false;
        ActiveSettings settings;
        Bytes report;
        const bool due = !reporting || std::chrono::steady_clock::now() >= nextReport;
        {
            std::lock_guard lock(modelMutex);
            running = model.activeRunning && !model.killed;
            settings = model.active;
            // The lively field moves on while nobody asks, too.
            if (running && lively) lively->step(model, std::chrono::steady_clock::now());
            if (running && due) report = model.nextActiveReport(settings.batch);
        }
        bool sent = false;
        for (HostLink *link : links())
            if (!report.empty() && link->send(report)) sent = true;
        if (sent) {
            ++reportsSent;
        } else if (!report.empty()) {
            std::lock_guard lock(modelMutex);
            model.cacheUndelivered(report);
        }
        control.lock();
        reporting = running;
        if (!running) {
            idleSinceWakeup = seenWakeups;
            controlChanged.notify_all();
            controlChanged.wait(control, [&] { return stopping || activeWakeups != seenWakeups; });
            nextReport = std::chrono::steady_clock::now();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (due) {
            nextReport = sent ? nextReport + settings.period : now + kNoPeerPause;
            const std::chrono::steady_clock::duration catchUp =
                std::max<std::chrono::steady_clock::duration>(settings.period, kCatchUpWindow);
            if (nextReport < now - catchUp) nextReport = now;  // no long burst after a stall
        }
        if (nextReport > now)
            controlChanged.wait_until(control, nextReport,
                                      [&] { return stopping || activeWakeups != seenWakeups; });
    }
}

void VirtualReader::Impl::replugAfter(std::chrono::milliseconds delay, uint64_t ticket) {
    {
        std::unique_lock lock(controlMutex);
        controlChanged.wait_for(lock, delay, [&] { return stopping || plugTicket != ticket; });
        if (stopping || plugTicket != ticket) return;  // destroyed or superseded
    }
    setTransportsPlugged(true);
}

void VirtualReader::Impl::setTransportsPlugged(bool plugged) {
    std::lock_guard lock(transportMutex);
    if (plugged) {
        if (tcp) tcp->replug();
        if (hid) hid->replug();
        if (pty) pty->replug();
        if (connectOut) connectOut->replug();
    } else {
        if (tcp) tcp->unplug();
        if (hid) hid->unplug();
        if (pty) pty->unplug();
        if (connectOut) connectOut->unplug();
    }
}

void VirtualReader::Impl::requestRestart() {
    {
        std::lock_guard lock(controlMutex);
        ++restartRequests;
    }
    controlChanged.notify_all();
}

// Each restart: every connection drops, and the transports serve again after the restart
// time unless someone unplugged or replugged meanwhile.
void VirtualReader::Impl::runRestarts() {
    uint64_t handled = 0;
    std::unique_lock control(controlMutex);
    while (true) {
        controlChanged.wait(control, [&] { return stopping || restartRequests != handled; });
        if (stopping) return;
        handled = restartRequests;
        ++plugTicket;  // answers still pending belong to the connections that go
        control.unlock();
        setTransportsPlugged(false);
        control.lock();
        const uint64_t ticket = ++plugTicket;
        control.unlock();
        replugAfter(kRestartTime, ticket);
        control.lock();
    }
}

// --- public interface ---

VirtualReader::VirtualReader(ReaderOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
    impl_->activeThread = std::thread([impl = impl_.get()] { impl->runActive(); });
    impl_->restartThread = std::thread([impl = impl_.get()] { impl->runRestarts(); });
}

VirtualReader::~VirtualReader() {
    {
        std::lock_guard lock(impl_->controlMutex);
        impl_->stopping = true;
    }
    impl_->controlChanged.notify_all();
    if (impl_->dropThread.joinable()) impl_->dropThread.join();
    if (impl_->activeThread.joinable()) impl_->activeThread.join();
    if (impl_->restartThread.joinable()) impl_->restartThread.join();
    // Transports stop their threads before the state they call into goes away.
    std::lock_guard lock(impl_->transportMutex);
    impl_->tcp.reset();
    impl_->hid.reset();
    impl_->pty.reset();
    impl_->connectOut.reset();
}

uint16_t VirtualReader::serveTcp(uint16_t port) {
    auto server = std::make_unique<SocketServer>(
        Framing::Stream, [impl = impl_.get()](const Bytes &frame, HostLink &link) {
            impl->handleFrame(frame, link);
        });
    const uint16_t bound = server->start(port);
    std::lock_guard lock(impl_->transportMutex);
    if (impl_->tcp) throw std::logic_error("serveTcp called twice");
    impl_->tcp = std::move(server);
    return bound;
}

uint16_t VirtualReader::serveHid(uint16_t port) {
    auto server = std::make_unique<SocketServer>(
        Framing::HidReports, [impl = impl_.get()](const Bytes &frame, HostLink &link) {
            impl->handleFrame(frame, link);
        });
    const uint16_t bound = server->start(port);
    std::lock_guard lock(impl_->transportMutex);
    if (impl_->hid) throw std::logic_error("serveHid called twice");
    impl_->hid = std::move(server);
    return bound;
}

std::string VirtualReader::servePty(const std::string &symlink) {
    auto port = std::make_unique<PtyPort>([impl = impl_.get()](const Bytes &frame, HostLink &link) {
        impl->handleFrame(frame, link);
    });
    const std::string path = port->start(symlink);
    std::lock_guard lock(impl_->transportMutex);
    if (impl_->pty) throw std::logic_error("servePty called twice");
    impl_->pty = std::move(port);
    return path;
}

void VirtualReader::connectTo(const std::string &host, uint16_t port) {
    auto client =
        std::make_unique<ConnectOut>([impl = impl_.get()](const Bytes &frame, HostLink &link) {
            impl->handleFrame(frame, link);
        });
    std::lock_guard lock(impl_->transportMutex);
    if (impl_->connectOut) throw std::logic_error("connectTo called twice");
    client->start(host, port);
    impl_->connectOut = std::move(client);
}

void VirtualReader::unplug() {
    {
        std::lock_guard lock(impl_->controlMutex);
        ++impl_->plugTicket;  // a pending replug of dropFor or a delayed answer is void
    }
    impl_->controlChanged.notify_all();
    impl_->setTransportsPlugged(false);
}

void VirtualReader::replug() {
    {
        std::lock_guard lock(impl_->controlMutex);
        ++impl_->plugTicket;
    }
    impl_->controlChanged.notify_all();
    impl_->setTransportsPlugged(true);
}

void VirtualReader::dropFor(std::chrono::milliseconds delay) {
    unplug();
    if (impl_->dropThread.joinable()) impl_->dropThread.join();  // superseded: ends at once
    uint64_t ticket = 0;
    {
        std::lock_guard lock(impl_->controlMutex);
        ticket = ++impl_->plugTicket;
    }
    impl_->dropThread =
        std::thread([impl = impl_.get(), delay, ticket] { impl->replugAfter(delay, ticket); });
}

std::string VirtualReader::ptyPath() const {
    std::lock_guard lock(impl_->transportMutex);
    return impl_->pty ? impl_->pty->slavePath() : std::string{};
}

void VirtualReader::setFaults(const Faults &faults) {
    std::lock_guard lock(impl_->faultMutex);
    impl_->faults = faults;
    impl_->shaper.resetCount();
}

Faults VirtualReader::faults() const {
    std::lock_guard lock(impl_->faultMutex);
    return impl_->faults;
}

void VirtualReader::withModel(const std::function<void(ReaderModel &)> &action) {
    {
        std::lock_guard lock(impl_->modelMutex);
        action(impl_->model);
    }
    impl_->wakeActive();
}

std::vector<Bytes> VirtualReader::requests() const {
    std::lock_guard lock(impl_->logMutex);
    return impl_->requestLog;
}

void VirtualReader::clearRequests() {
    std::lock_guard lock(impl_->logMutex);
    impl_->requestLog.clear();
}

bool VirtualReader::waitForRequests(size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock lock(impl_->logMutex);
    return impl_->logChanged.wait_for(lock, deadline,
                                      [&] { return impl_->requestLog.size() >= count; });
}

void VirtualReader::setAnswerOverride(AnswerOverride override) {
    std::lock_guard lock(impl_->overrideMutex);
    impl_->answerOverride = std::move(override);
}

void VirtualReader::sendRaw(const Bytes &bytes) {
    for (HostLink *link : impl_->links()) link->send(bytes);
}

void VirtualReader::startActive(std::chrono::microseconds period, int batch) {
    withModel([&](ReaderModel &model) {
        model.active.period = period;
        model.active.batch = batch;
        model.activeRunning = true;
    });
}

void VirtualReader::stopActive() {
    withModel([](ReaderModel &model) { model.activeRunning = false; });
    // A report on its way when the flag fell still counts: wait until the active thread has
    // looked at the model again and found nothing to send.
    std::unique_lock lock(impl_->controlMutex);
    const uint64_t stopped = ++impl_->activeWakeups;
    impl_->controlChanged.notify_all();
    impl_->controlChanged.wait(
        lock, [&] { return impl_->stopping || impl_->idleSinceWakeup >= stopped; });
}

uint64_t VirtualReader::reportsSent() const {
    return impl_->reportsSent.load();
}

uint64_t VirtualReader::hidConfigReports() const {
    std::lock_guard lock(impl_->transportMutex);
    return impl_->hid ? impl_->hid->configReports() : 0;
}

}  // namespace readersim
