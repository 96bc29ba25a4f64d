#include "http_output.h"

#include <curl/curl.h>

#include <algorithm>

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
std::string post(const std::string &url, const std::string &body, long timeoutMs) {
    CURL *curl = curl_easy_init();
    if (curl == nullptr) return "cannot create an HTTP request";
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
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

HttpOutput::HttpOutput(HttpSettings settings)
    : settings_(std::move(settings)), queue_(settings_.queueLimit) {
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

void HttpOutput::send(TagMessage message) {
    bool full = false;
    {
        const std::lock_guard lock(mutex_);
        queue_.push(std::move(message));
        full = queue_.size() >= settings_.batch;
    }
    if (full) changed_.notify_all();
}

bool HttpOutput::batchReady() const {
    if (queue_.empty()) return false;
    return flushing_ || queue_.size() >= settings_.batch ||
           Steady::now() - queue_.oldest() >= settings_.linger;
}

void HttpOutput::sendLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!stopping_ && !batchReady()) {
            if (queue_.empty()) {
                changed_.wait(lock);
            } else {
                changed_.wait_until(lock, queue_.oldest() + settings_.linger);
            }
        }
        if (stopping_) return;
        std::vector<MessageQueue::Entry> batch = queue_.take(settings_.batch);
        std::string body = "[";
        for (const MessageQueue::Entry &entry : batch) body += entry.message.json + ",";
        body.back() = ']';
        sending_ = batch.size();
        const bool delivered = deliver(body, lock);
        sending_ = 0;
        if (!delivered) {
            queue_.putBack(std::move(batch));
            return;
        }
        changed_.notify_all();
    }
}

bool HttpOutput::deliver(const std::string &body, std::unique_lock<std::mutex> &lock) {
    auto retry = std::chrono::milliseconds(kFirstRetry);
    bool failing = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(deadline_ - Steady::now(), Steady::duration(std::chrono::hours(1))));
        lock.unlock();
        const std::string failure =
            post(settings_.url, body, std::min(kRequestTimeoutMs, long(left.count())));
        lock.lock();
        if (failure.empty()) {
            if (failing) log::line("HTTP endpoint " + settings_.url + " takes messages again");
            return true;
        }
        if (!failing) log::line("HTTP endpoint " + settings_.url + ": " + failure + "; retrying");
        failing = true;
        changed_.wait_until(lock, std::min(deadline_, Steady::now() + retry),
                            [this] { return stopping_ || Steady::now() >= deadline_; });
        if (stopping_ || Steady::now() >= deadline_) return false;
        retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
    }
}

void HttpOutput::finish(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    deadline_ = deadline;
    changed_.notify_all();
    changed_.wait_until(lock, deadline, [this] { return queue_.empty() && sending_ == 0; });
    if (!queue_.empty() || sending_ > 0) {
        log::line("HTTP: " + std::to_string(queue_.size() + sending_) +
                  " messages not delivered at exit");
    }
    stopping_ = true;
    changed_.notify_all();
}

}  // namespace gateway
