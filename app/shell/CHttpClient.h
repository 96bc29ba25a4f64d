#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// A small HTTP client on libcurl for the version check: one GET at a time into one
// process-wide 64 KiB reply buffer. When the body arrives in several pieces, only the last
// piece is kept (each piece replaces the buffer's contents). Construction and destruction
// initialise and clean up libcurl globally.
class CHttpClient {
public:
    static constexpr std::size_t replyBufferSize = 64 * 1024;
    static constexpr long timeoutSeconds = 5;
    // The result when no transfer could be made (libcurl's CURLE_FAILED_INIT).
    static constexpr int noTransfer = 2;
    // The result for an address of another protocol than http or https (libcurl's
    // CURLE_UNSUPPORTED_PROTOCOL).
    static constexpr int unsupportedProtocol = 1;
    // The result of a transfer given up on request (libcurl's CURLE_ABORTED_BY_CALLBACK).
    static constexpr int aborted = 42;

    CHttpClient();
    ~CHttpClient();
    CHttpClient(const CHttpClient &) = delete;
    CHttpClient &operator=(const CHttpClient &) = delete;

    // Fetches the address; returns libcurl's result (0 on success). Only http and https are
    // spoken: any other address gives unsupportedProtocol. On success the last piece of the
    // body is copied into buffer, at most capacity bytes, and length is set. A transfer gives
    // up (aborted) within about a second of *stop becoming true.
    int get(const std::string &address, std::uint8_t *buffer, std::size_t capacity,
        std::size_t &length, const std::atomic<bool> *stop = nullptr);
};
