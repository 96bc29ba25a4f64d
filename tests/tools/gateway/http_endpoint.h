// A small loopback HTTP endpoint for the tests: takes POSTs, keeps their content type and
// body (and how it logged in), and answers 503 to the first `failures` of them, 200 afterwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gatewaytest {

struct Post {
    std::string contentType;
    std::string body;
    std::string authorization;
};

class HttpEndpoint {
  public:
    explicit HttpEndpoint(int failures = 0);
    ~HttpEndpoint();
    HttpEndpoint(const HttpEndpoint &) = delete;
    HttpEndpoint &operator=(const HttpEndpoint &) = delete;

    std::string url() const;
    // POSTs answered 200 and the number answered 503.
    std::vector<Post> accepted();
    int refused();
    bool waitFor(const std::function<bool(const std::vector<Post> &)> &done,
                 std::chrono::seconds deadline);

  private:
    struct Impl;
    void serve();
    void answer(Impl &impl);

    std::unique_ptr<Impl> impl_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Post> accepted_;
    int failuresLeft_;
    int refused_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace gatewaytest
