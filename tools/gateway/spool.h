// --spool DIR: the durable store, DIR/spool.db in SQLite (WAL journal, synchronous=FULL).
// Writes gather in one transaction committed every few milliseconds (a power cut loses at most
// that last group); a message leaves only once its group is on the disk. Outputs that keep up
// take the last committed messages from memory, so they never wait behind the commit's fsync
// nor read the file. The rows a run leaves behind are replayed at the next start, in order. A file
// it cannot read (damaged, foreign, a newer layout) is moved aside, never deleted, and a new spool
// begins. Bounded by size: beyond it the oldest are dropped and counted.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace gateway {

class Spool : public Store {
  public:
    // `outputs`: the bits of the configured outputs; what older rows wait for beyond them is
    // forgotten. Throws std::runtime_error when the folder cannot hold a spool.
    Spool(const std::filesystem::path &folder, unsigned outputs, std::uint64_t limitBytes);
    ~Spool() override;
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    void add(std::vector<TagMessage> &messages) override;
    std::vector<StoredMessage> next(OutputBit output, std::uint64_t after,
                                    std::size_t most) override;
    void delivered(OutputBit output, std::span<const std::uint64_t> ids) override;
    void abandon(OutputBit output) override;
    std::uint64_t waiting(OutputBit output) override;
    StoreDepth depth() override;
    std::uint64_t dropped() override;
    std::uint64_t replayed() override { return replayed_; }
    void sync() override;

  private:
    // Opens the file, or moves it aside and opens a new one; throws when even that failed.
    void openUsable(const std::filesystem::path &file);
    std::string unreadableReason();
    void createOrCheckLayout();
    void prepare();
    void countRows();
    void execute(const char *sql);
    void beginIfIdle();
    void commitLoop();
    // Under mutex_: writes what add and delivered staged, then commits; true when messages
    // became durable.
    bool writeStaged();
    // False when the row could not be written.
    bool insert(const TagMessage &message, Clock::time_point received);
    // Under mutex_: keeps a committed group for the outputs that keep up.
    void remember(std::vector<StoredMessage> &committed);
    // The messages after `after` waiting for `output`, when all of them are still in memory.
    std::optional<std::vector<StoredMessage>> recentAfter(OutputBit output, std::uint64_t after,
                                                          std::size_t most);
    // Under mutex_: clears the bits of what the outputs delivered and removes the rows that
    // wait for nothing more.
    void acknowledge(const std::vector<std::pair<OutputBit, std::uint64_t>> &acks);
    // True when it made added messages durable (false too when the commit failed).
    bool commit();
    void dropOldest();
    // A dropped row of `size` that waited for the outputs of `pending`.
    void forget(std::uint64_t size, unsigned pending);

    std::mutex mutex_;
    std::condition_variable changed_;
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
    sqlite3_stmt *select_ = nullptr;
    sqlite3_stmt *clearBits_ = nullptr;
    sqlite3_stmt *finished_ = nullptr;
    sqlite3_stmt *removeFinished_ = nullptr;
    sqlite3_stmt *remove_ = nullptr;
    sqlite3_stmt *oldest_ = nullptr;
    unsigned outputs_;
    std::uint64_t limit_;
    bool inTransaction_ = false;
    bool stopping_ = false;
    std::uint64_t lastId_ = 0;
    std::uint64_t committedId_ = 0;
    std::uint64_t droppedThrough_ = 0;  // the newest id dropped for the size bound
    std::uint64_t rows_ = 0;
    std::uint64_t bytes_ = 0;
    std::array<std::uint64_t, 3> waiting_{};
    std::uint64_t dropped_ = 0;
    std::uint64_t replayed_ = 0;
    // add and delivered only stage their work here, so a slow disk (each group commit waits
    // for fsync) never holds a reader's connection or the broker's acknowledgements.
    struct StagedMessage {
        TagMessage message;
        Clock::time_point received;
    };
    std::mutex stagingMutex_;  // taken after mutex_ when both are
    std::vector<StagedMessage> stagedAdds_;
    std::vector<std::pair<OutputBit, std::uint64_t>> stagedAcks_;
    std::array<std::uint64_t, 3> stagedAcksOf_{};
    std::uint64_t stagedId_ = 0;
    std::thread committer_;
    // The last committed messages, ids rising (at most kRecentLimit), with the outputs each
    // still waits for.
    struct RecentMessage {
        StoredMessage message;
        unsigned pending;
    };
    std::mutex recentMutex_;  // taken after mutex_ and stagingMutex_ when they are
    std::deque<RecentMessage> recent_;
};

}  // namespace gateway
