#include "shell/CHttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace {

constexpr const char *webProtocols = "http,https";
static_assert(CHttpClient::unsupportedProtocol == CURLE_UNSUPPORTED_PROTOCOL);
static_assert(CHttpClient::aborted == CURLE_ABORTED_BY_CALLBACK);

// Shared by every transfer of the process; the mutex lets only one run at a time.
std::mutex transferMutex;
std::array<std::uint8_t, CHttpClient::replyBufferSize> replyBuffer;
std::size_t replyLength = 0;

std::size_t keepLastPiece(char *data, std::size_t size, std::size_t count, void * /*user*/)
{
    const std::size_t pieceSize = size * count;
    // A piece larger than the buffer keeps its first 64 KiB; the whole piece is accepted.
    replyLength = std::min(pieceSize, replyBuffer.size());
    std::memcpy(replyBuffer.data(), data, replyLength);
    return pieceSize;
}

// libcurl reports progress at least once a second, also while the peer is silent.
int abortWhenStopped(void *stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool> *>(stop)->load() ? 1 : 0;
}

} // namespace

CHttpClient::CHttpClient()
{
    curl_global_init(CURL_GLOBAL_ALL);
}

CHttpClient::~CHttpClient()
{
    curl_global_cleanup();
}

int CHttpClient::get(const std::string &address, std::uint8_t *buffer, std::size_t capacity,
    std::size_t &length, const std::atomic<bool> *stop)
{
    std::lock_guard lock(transferMutex);
    CURL *transfer = curl_easy_init();
    if (transfer == nullptr)
        return noTransfer;
    replyLength = 0;
    curl_easy_setopt(transfer, CURLOPT_URL, address.c_str());
    // A version check fetches web pages: an address (or a redirect) naming a local file or
    // another protocol is refused rather than followed.
    curl_easy_setopt(transfer, CURLOPT_PROTOCOLS_STR, webProtocols);
    curl_easy_setopt(transfer, CURLOPT_REDIR_PROTOCOLS_STR, webProtocols);
    curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, &keepLastPiece);
    curl_easy_setopt(transfer, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(transfer, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(transfer, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(transfer, CURLOPT_CONNECTTIMEOUT, timeoutSeconds);
    curl_easy_setopt(transfer, CURLOPT_TIMEOUT, timeoutSeconds);
    if (stop != nullptr) {
        curl_easy_setopt(transfer, CURLOPT_XFERINFOFUNCTION, &abortWhenStopped);
        curl_easy_setopt(transfer, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool> *>(stop));
        curl_easy_setopt(transfer, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode result = curl_easy_perform(transfer);
    if (result == CURLE_OK) {
        // Never more than the caller's buffer holds.
        length = std::min(replyLength, capacity);
        std::memcpy(buffer, replyBuffer.data(), length);
    }
    curl_easy_cleanup(transfer);
    return static_cast<int>(result);
}
