#include "shell/CHttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace {

constexpr const char *webProtocols = "http,https";
static_assert(CHttpClient::unsupportedProtocol == CURLE_UNSUPPORTED_PROTOCOL);

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

} // namespace

CHttpClient::CHttpClient()
{
    curl_global_init(CURL_GLOBAL_ALL);
}

CHttpClient::~CHttpClient()
{
    curl_global_cleanup();
}

int CHttpClient::get(
    const std::string &address, std::uint8_t *buffer, std::size_t capacity, std::size_t &length)
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
    const CURLcode result = curl_easy_perform(transfer);
    if (result == CURLE_OK) {
        // Never more than the caller's buffer holds.
        length = std::min(replyLength, capacity);
        std::memcpy(buffer, replyBuffer.data(), length);
    }
    curl_easy_cleanup(transfer);
    return static_cast<int>(result);
}
