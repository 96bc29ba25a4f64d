#include "memory_store.h"

#include <bit>

namespace gateway {

namespace {

unsigned indexOf(unsigned bit) {
    return unsigned(std::countr_zero(bit));
}

}  // namespace

void MemoryStore::clear(std::map<std::uint64_t, Row>::iterator row, unsigned bits) {
    for (unsigned bit = 1; bit <= 4; bit <<= 1) {
        if ((row->second.pending & bits & bit) != 0) --waiting_[indexOf(bit)];
    }
    row->second.pending &= ~bits;
    if (row->second.pending == 0) {
        bytes_ -= storedSize(row->second.message.reader, row->second.message.json);
        rows_.erase(row);
    }
}

void MemoryStore::add(std::vector<TagMessage> &messages) {
    keep(messages);
    announce();
}

void MemoryStore::keep(std::vector<TagMessage> &messages) {
    const std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    for (TagMessage &message : messages) {
        message.sequence = ++lastId_;
        bytes_ += storedSize(message.reader, message.json);
        rows_.emplace(lastId_, Row{{lastId_, message.reader, message.json, now}, outputs_});
        for (unsigned bit = 1; bit <= 4; bit <<= 1) {
            if ((outputs_ & bit) != 0) ++waiting_[indexOf(bit)];
        }
    }
    while (rows_.size() > limit_) {
        clear(rows_.begin(), ~0u);
        ++dropped_;
    }
}

std::vector<StoredMessage> MemoryStore::next(OutputBit output, std::uint64_t after,
                                             std::size_t most) {
    const std::lock_guard lock(mutex_);
    std::vector<StoredMessage> found;
    for (auto row = rows_.upper_bound(after); row != rows_.end() && found.size() < most; ++row) {
        if ((row->second.pending & unsigned(output)) != 0) found.push_back(row->second.message);
    }
    return found;
}

void MemoryStore::delivered(OutputBit output, std::span<const std::uint64_t> ids) {
    const std::lock_guard lock(mutex_);
    for (const std::uint64_t id : ids) {
        if (const auto row = rows_.find(id); row != rows_.end()) clear(row, unsigned(output));
    }
}

void MemoryStore::abandon(OutputBit output) {
    const std::lock_guard lock(mutex_);
    outputs_ &= ~unsigned(output);
    for (auto row = rows_.begin(); row != rows_.end();) clear(row++, unsigned(output));
}

std::uint64_t MemoryStore::waiting(OutputBit output) {
    const std::lock_guard lock(mutex_);
    return waiting_[indexOf(unsigned(output))];
}

StoreDepth MemoryStore::depth() {
    const std::lock_guard lock(mutex_);
    return {rows_.size(), bytes_};
}

std::uint64_t MemoryStore::dropped() {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace gateway
