// --spool none: messages wait in memory, at most `limit` of them; lost when the process ends.
#pragma once

#include <array>
#include <map>
#include <mutex>

#include "store.h"

namespace gateway {

class MemoryStore : public Store {
  public:
    MemoryStore(unsigned outputs, std::size_t limit) : outputs_(outputs), limit_(limit) {}

    void add(std::vector<TagMessage> &messages) override;
    std::vector<StoredMessage> next(OutputBit output, std::uint64_t after,
                                    std::size_t most) override;
    void delivered(OutputBit output, std::span<const std::uint64_t> ids) override;
    void abandon(OutputBit output) override;
    std::uint64_t waiting(OutputBit output) override;
    StoreDepth depth() override;
    std::uint64_t dropped() override;
    std::uint64_t replayed() override { return 0; }

  private:
    struct Row {
        StoredMessage message;
        unsigned pending;
    };
    void keep(std::vector<TagMessage> &messages);
    void clear(std::map<std::uint64_t, Row>::iterator row, unsigned bits);

    std::mutex mutex_;
    unsigned outputs_;
    std::size_t limit_;
    std::map<std::uint64_t, Row> rows_;
    std::array<std::uint64_t, 3> waiting_{};
    std::uint64_t bytes_ = 0;
    std::uint64_t lastId_ = 0;
    std::uint64_t dropped_ = 0;
};

}  // namespace gateway
