#include "http_output.h"

#include <curl/curl.h>

#include <algorithm>

#include "backoff.h"
#include "log.h"

namespace gateway {

namespace {

constexpr auto kFirstRetry = std::chrono::milliseconds(100);
constexpr auto kLongestRetry = std::chrono::seconds(10);
constexpr long kRequestTimeoutMs = 10000;

struct LibraryUse {
    LibraryUse() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~LibraryUse() { curl_global_cleanup(); }
};

std::size_t discardBody(char *, std::size_t size, std::size_t count, void *) {
    return size * count;
}

// One POST; the reason of a failure, empty on a 2xx answer.
std::string post(const HttpSettings &settings, const std::string &body, long timeoutMs) {
    CURL *curl = curl_easy_init();
    if (curl == nullptr) return "cannot create an HTTP request";
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, settings.url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (!settings.bearerToken.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BEARER);
        curl_easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, settings.bearerToken.c_str());
    } else if (!settings.userPassword.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERPWD, settings.userPassword.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discardBody);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, std::max(timeoutMs, 1L));
    std::string failure;
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK) {
        failure = curl_easy_strerror(result);
    } else if (status < 200 || status > 299) {
        failure = "status " + std::to_string(status);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return failure;
}

}  // namespace

HttpOutput::HttpOutput(HttpSettings settings, Store &store)
    : settings_(std::move(settings)),
      store_(store),
      batcher_(settings_.batch, settings_.linger, false) {
    static LibraryUse library;
    sender_ = std::thread([this] { sendLoop(); });
}

HttpOutput::~HttpOutput() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    sender_.join();
}

void HttpOutput::wake() {
    {
        const std::lock_guard lock(mutex_);
        fresh_ = true;
    }
    changed_.notify_all();
}

void HttpOutput::refill() {
    // A few batches ahead: enough to fill the next one, little to hold in memory.
    const std::size_t window = settings_.batch * 4;
    while (fresh_ && batcher_.size() < window) {
        const std::size_t wanted = window - batcher_.size();
        auto messages = store_.next(OutputBit::Http, cursor_, wanted);
        if (messages.size() < wanted) fresh_ = false;
        if (messages.empty()) break;
        cursor_ = messages.back().id;
        const auto now = Steady::now();
        const auto wallNow = Clock::now();
        for (StoredMessage &message : messages) batcher_.add(std::move(message), now, wallNow);
    }
}

void HttpOutput::sendLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        refill();
        std::vector<StoredMessage> batch = batcher_.take(Steady::now(), flushing_);
        if (batch.empty()) {
            changed_.wait_until(lock, batcher_.nextDue(), [this] { return stopping_ || fresh_; });
            continue;
        }
        std::string body = "[";
        std::vector<std::uint64_t> ids;
        for (const StoredMessage &message : batch) {
            body += message.json + ",";
            ids.push_back(message.id);
        }
        body.back() = ']';
        sending_ = batch.size();
        const bool delivered = deliver(body, lock);
        sending_ = 0;
        if (!delivered) {
            batcher_.putBack(std::move(batch));
            return;
        }
        store_.delivered(OutputBit::Http, ids);
        published_ += ids.size();
        deliveredNow(batch);
        changed_.notify_all();
    }
}

bool HttpOutput::deliver(const std::string &body, std::unique_lock<std::mutex> &lock) {
    tools::Backoff retry(kFirstRetry, kLongestRetry);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(deadline_ - Steady::now(), Steady::duration(std::chrono::hours(1))));
        lock.unlock();
        const std::string failure =
            post(settings_, body, std::min(kRequestTimeoutMs, long(left.count())));
        lock.lock();
        if (failure.empty()) {
            if (!failure_.empty()) {
                log::line("HTTP endpoint " + settings_.url + " takes messages again");
            }
            failure_.clear();
            return true;
        }
        if (failure_.empty()) {
            log::line("HTTP endpoint " + settings_.url + ": " + failure + "; retrying");
        }
        failure_ = failure;
        failed_ += sending_;
        changed_.wait_until(lock, std::min(deadline_, Steady::now() + retry.next()),
                            [this] { return stopping_ || Steady::now() >= deadline_; });
        if (stopping_ || Steady::now() >= deadline_) return false;
    }
}

OutputHealth HttpOutput::health() const {
    const std::lock_guard lock(mutex_);
    if (failure_.empty()) return {};
    return {false, "HTTP endpoint " + settings_.url + ": " + failure_};
}

void HttpOutput::finish(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    deadline_ = deadline;
    changed_.notify_all();
    changed_.wait_until(lock, deadline,
                        [this] { return sending_ == 0 && store_.waiting(OutputBit::Http) == 0; });
    if (const auto left = store_.waiting(OutputBit::Http); left > 0) {
        log::line("HTTP: " + std::to_string(left) + " messages not delivered at exit");
    }
    stopping_ = true;
    changed_.notify_all();
}

}  // namespace gateway
