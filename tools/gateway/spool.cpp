#include "spool.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "log.h"
#include "tag_text.h"

namespace gateway {

namespace {

// "TBGW" in the file header, so a file of another program is never taken for a spool.
constexpr int kApplicationId = 0x54424757;
constexpr int kLayoutVersion = 1;
constexpr auto kGroupCommitPeriod = std::chrono::milliseconds(5);
// Committed messages kept in memory for the outputs: seconds of a thousand readers' reports.
constexpr std::size_t kRecentLimit = 16384;
constexpr int kDropChunk = 256;
constexpr const char *kSize = "length(CAST(reader AS BLOB)) + length(CAST(json AS BLOB)) + 32";

unsigned indexOf(unsigned bit) {
    return unsigned(std::countr_zero(bit));
}

std::int64_t millisecondsOf(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

// Steps a statement to its end, resetting it for the next use; the rows go to `row`.
template <typename Row>
int run(sqlite3_stmt *statement, Row &&row) {
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return result;
}

int run(sqlite3_stmt *statement) {
    return run(statement, [](sqlite3_stmt *) {});
}

// The first of the messages (ids rising) whose id is above `after`.
template <typename Messages>
auto firstAfter(Messages &messages, std::uint64_t after) {
    return std::upper_bound(messages.begin(), messages.end(), after,
                            [](std::uint64_t id, const auto &m) { return id < m.message.id; });
}

// Ids as a JSON array, for json_each: a whole group's rows in one statement.
std::string jsonArrayOf(std::span<const std::uint64_t> ids) {
    std::string text = "[";
    for (const std::uint64_t id : ids) {
        text += std::to_string(id);
        text += ',';
    }
    if (text.size() > 1) text.pop_back();
    return text + "]";
}

std::string textOf(sqlite3_stmt *statement, int column) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string(text, std::size_t(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

}  // namespace

Spool::Spool(const std::filesystem::path &folder, unsigned outputs, std::uint64_t limitBytes)
    : outputs_(outputs), limit_(limitBytes) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw std::runtime_error("cannot create the spool folder " + folder.string() + ": " +
                                 error.message());
    }
    openUsable(folder / "spool.db");
    prepare();
    {
        const std::lock_guard lock(mutex_);
        countRows();
        replayed_ = rows_;
        if (bytes_ > limit_) dropOldest();
        commit();
        committedId_ = lastId_;
        stagedId_ = lastId_;
    }
    if (replayed_ > 0) {
        log::line("spool " + folder.string() + ": " + std::to_string(replayed_) +
                  " messages from the last run to deliver");
    }
    committer_ = std::thread([this] { commitLoop(); });
}

Spool::~Spool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    committer_.join();
    const std::lock_guard lock(mutex_);
    writeStaged();
    for (sqlite3_stmt *statement :
         {insert_, select_, clearBits_, finished_, removeFinished_, remove_, oldest_}) {
        sqlite3_finalize(statement);
    }
    sqlite3_close(db_);
}

void Spool::openUsable(const std::filesystem::path &file) {
    for (int attempt = 0;; ++attempt) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            const std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw std::runtime_error("cannot open the spool " + file.string() + ": " + reason);
        }
        const std::string reason = unreadableReason();
        if (reason.empty()) return;
        sqlite3_close(db_);
        db_ = nullptr;
        if (reason.starts_with("in use") || attempt > 0) {
            throw std::runtime_error("spool " + file.string() + ": " + reason);
        }
        const std::filesystem::path aside =
            file.string() + ".unreadable-" + tagtext::utcText(Clock::now());
        for (const char *suffix : {"", "-wal", "-shm"}) {
            std::error_code ignored;
            std::filesystem::rename(file.string() + suffix, aside.string() + suffix, ignored);
        }
        log::line("spool " + file.string() + " cannot be read (" + reason + "); moved to " +
                  aside.string() + ", starting a new spool");
    }
}

// Empty when the file is (or now is) a spool of ours; else why not.
std::string Spool::unreadableReason() {
    sqlite3_busy_timeout(db_, 0);
    // One gateway per spool: the lock is taken by the first read and kept.
    const auto failed = [this](int result) {
        return result != SQLITE_OK ? std::string(sqlite3_errstr(result)) : std::string();
    };
    if (auto e =
            failed(sqlite3_exec(db_, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr));
        !e.empty()) {
        return e;
    }
    const auto number = [this](const char *sql, int &value) {
        sqlite3_stmt *statement = nullptr;
        int result = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
        if (result == SQLITE_OK) {
            result = run(statement, [&](sqlite3_stmt *s) { value = sqlite3_column_int(s, 0); });
            if (result == SQLITE_DONE) result = SQLITE_OK;
        }
        sqlite3_finalize(statement);
        return result;
    };
    int application = 0, version = 0, tables = 0;
    int result = number("PRAGMA application_id", application);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) {
        return "in use by another gateway";
    }
    if (result == SQLITE_OK) result = number("PRAGMA user_version", version);
    if (result == SQLITE_OK) result = number("SELECT count(*) FROM sqlite_master", tables);
    if (result != SQLITE_OK) return sqlite3_errstr(result);
    if (application == 0 && tables == 0) {
        createOrCheckLayout();
        return {};
    }
    if (application != kApplicationId) return "not a spool of this gateway";
    if (version != kLayoutVersion) {
        return "layout " + std::to_string(version) + ", this gateway knows " +
               std::to_string(kLayoutVersion);
    }
    std::string check;
    sqlite3_stmt *statement = nullptr;
    result = sqlite3_prepare_v2(db_, "PRAGMA quick_check", -1, &statement, nullptr);
    if (result == SQLITE_OK) {
        run(statement, [&](sqlite3_stmt *s) { check += textOf(s, 0); });
    }
    sqlite3_finalize(statement);
    if (result != SQLITE_OK) return sqlite3_errstr(result);
    if (check != "ok") {
        std::replace(check.begin(), check.end(), '\n', ' ');
        return "damaged: " + check.substr(0, 120);
    }
    createOrCheckLayout();
    return {};
}

void Spool::execute(const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message != nullptr ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error(std::string("spool: ") + sql + ": " + reason);
    }
}

void Spool::createOrCheckLayout() {
    execute("PRAGMA journal_mode=WAL");
    // Each group commit reaches the disk before the next begins.
    execute("PRAGMA synchronous=FULL");
    execute(
        "CREATE TABLE IF NOT EXISTS message (id INTEGER PRIMARY KEY, reader TEXT NOT NULL, "
        "json TEXT NOT NULL, received INTEGER NOT NULL, pending INTEGER NOT NULL)");
    execute(("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
    execute(("PRAGMA user_version=" + std::to_string(kLayoutVersion)).c_str());
}

void Spool::prepare() {
    const std::string size = kSize;
    const struct {
        sqlite3_stmt **statement;
        std::string sql;
    } statements[] = {
        {&insert_, "INSERT INTO message (id, reader, json, received, pending) VALUES (?,?,?,?,?)"},
        {&select_,
         "SELECT id, reader, json, received FROM message WHERE id > ?1 AND id <= ?4 "
         "AND (pending & ?2) != 0 ORDER BY id LIMIT ?3"},
        // A group's acknowledgements of one output in one statement: a statement per row
        // costs each a statement journal, many times the work of the change itself.
        {&clearBits_,
         "UPDATE message SET pending = pending & ~?1 WHERE id IN (SELECT value FROM "
         "json_each(?2)) AND (pending & ?1) != 0"},
        {&finished_,
         "SELECT count(*), total(" + size +
             ") FROM message WHERE id IN (SELECT value FROM json_each(?1)) AND pending = 0"},
        {&removeFinished_,
         "DELETE FROM message WHERE id IN (SELECT value FROM json_each(?1)) AND pending = 0"},
        {&remove_, "DELETE FROM message WHERE id = ?"},
        {&oldest_, "SELECT id, pending, " + size + " FROM message ORDER BY id LIMIT " +
                       std::to_string(kDropChunk)},
    };
    for (const auto &s : statements) {
        if (sqlite3_prepare_v3(db_, s.sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, s.statement,
                               nullptr) != SQLITE_OK) {
            throw std::runtime_error("spool: " + std::string(sqlite3_errmsg(db_)));
        }
    }
}

void Spool::countRows() {
    beginIfIdle();
    // What waits for an output no longer configured waits for nothing.
    execute(("UPDATE message SET pending = pending & " + std::to_string(outputs_) +
             " WHERE (pending & ~" + std::to_string(outputs_) + ") != 0")
                .c_str());
    execute("DELETE FROM message WHERE pending = 0");
    sqlite3_stmt *statement = nullptr;
    const std::string sql = std::string("SELECT count(*), total(") + kSize +
                            "), total((pending & 1) != 0), total((pending & 2) != 0), "
                            "total((pending & 4) != 0), max(id) FROM message";
    sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
    run(statement, [&](sqlite3_stmt *s) {
        rows_ = std::uint64_t(sqlite3_column_int64(s, 0));
        bytes_ = std::uint64_t(sqlite3_column_double(s, 1));
        for (int i = 0; i < 3; ++i) waiting_[i] = std::uint64_t(sqlite3_column_double(s, 2 + i));
        lastId_ = std::uint64_t(sqlite3_column_int64(s, 5));
    });
    sqlite3_finalize(statement);
}

void Spool::beginIfIdle() {
    if (inTransaction_) return;
    execute("BEGIN");
    inTransaction_ = true;
}

bool Spool::commit() {
    if (!inTransaction_) return false;
    inTransaction_ = false;
    char *message = nullptr;
    bool committed = true;
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, &message) != SQLITE_OK) {
        log::line("spool: cannot commit: " + std::string(message != nullptr ? message : "?"));
        sqlite3_free(message);
        if (sqlite3_get_autocommit(db_) == 0) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        committed = false;
    }
    const bool added = committedId_ < lastId_;
    committedId_ = lastId_;
    return committed && added;
}

void Spool::commitLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, kGroupCommitPeriod);
        if (writeStaged()) {
            lock.unlock();
            announce();
            lock.lock();
        }
    }
}

void Spool::sync() {
    std::unique_lock lock(mutex_);
    if (writeStaged()) {
        lock.unlock();
        announce();
    }
}

void Spool::add(std::vector<TagMessage> &messages) {
    const auto now = Clock::now();
    const std::lock_guard lock(stagingMutex_);
    for (TagMessage &message : messages) {
        message.sequence = ++stagedId_;
        stagedAdds_.push_back({message, now});
    }
}

bool Spool::writeStaged() {
    std::vector<StagedMessage> adds;
    std::vector<std::pair<OutputBit, std::uint64_t>> acks;
    {
        const std::lock_guard lock(stagingMutex_);
        adds.swap(stagedAdds_);
        acks.swap(stagedAcks_);
        stagedAcksOf_ = {};
    }
    if (!adds.empty() || !acks.empty()) beginIfIdle();
    std::vector<StoredMessage> kept;
    kept.reserve(adds.size());
    for (StagedMessage &staged : adds) {
        if (!insert(staged.message, staged.received)) continue;
        kept.push_back({staged.message.sequence, std::move(staged.message.reader),
                        std::move(staged.message.json), staged.received});
    }
    acknowledge(acks);
    if (bytes_ > limit_) dropOldest();
    if (!commit()) return false;
    remember(kept);
    return true;
}

void Spool::remember(std::vector<StoredMessage> &committed) {
    const std::lock_guard lock(recentMutex_);
    for (StoredMessage &message : committed) {
        if (message.id > droppedThrough_) recent_.push_back({std::move(message), outputs_});
    }
    while (!recent_.empty() &&
           (recent_.size() > kRecentLimit || recent_.front().message.id <= droppedThrough_)) {
        recent_.pop_front();
    }
}

std::optional<std::vector<StoredMessage>> Spool::recentAfter(OutputBit output, std::uint64_t after,
                                                             std::size_t most) {
    const std::lock_guard lock(recentMutex_);
    // Older messages (replayed, or no longer in memory) are read from the file.
    if (recent_.empty() || after + 1 < recent_.front().message.id) return std::nullopt;
    std::vector<StoredMessage> found;
    for (auto at = firstAfter(recent_, after); at != recent_.end() && found.size() < most; ++at) {
        if ((at->pending & unsigned(output)) != 0) found.push_back(at->message);
    }
    return found;
}

bool Spool::insert(const TagMessage &message, Clock::time_point received) {
    sqlite3_bind_int64(insert_, 1, std::int64_t(message.sequence));
    sqlite3_bind_text(insert_, 2, message.reader.data(), int(message.reader.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 3, message.json.data(), int(message.json.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert_, 4, millisecondsOf(received));
    sqlite3_bind_int(insert_, 5, int(outputs_));
    if (run(insert_) != SQLITE_DONE) {
        log::line("spool: cannot keep a message: " + std::string(sqlite3_errmsg(db_)));
        return false;
    }
    lastId_ = message.sequence;
    ++rows_;
    bytes_ += storedSize(message.reader, message.json);
    for (unsigned bit = 1; bit <= 4; bit <<= 1) {
        if ((outputs_ & bit) != 0) ++waiting_[indexOf(bit)];
    }
    return true;
}

void Spool::forget(std::uint64_t size, unsigned pending) {
    for (unsigned bit = 1; bit <= 4; bit <<= 1) {
        if ((pending & bit) != 0 && waiting_[indexOf(bit)] > 0) --waiting_[indexOf(bit)];
    }
    --rows_;
    bytes_ -= std::min(bytes_, size);
}

void Spool::dropOldest() {
    while (bytes_ > limit_ && rows_ > 0) {
        struct Row {
            std::int64_t id;
            unsigned pending;
            std::uint64_t size;
        };
        std::vector<Row> oldest;
        run(oldest_, [&](sqlite3_stmt *s) {
            oldest.push_back({sqlite3_column_int64(s, 0), unsigned(sqlite3_column_int(s, 1)),
                              std::uint64_t(sqlite3_column_int64(s, 2))});
        });
        if (oldest.empty()) return;
        for (const Row &row : oldest) {
            if (bytes_ <= limit_) return;
            sqlite3_bind_int64(remove_, 1, row.id);
            run(remove_);
            forget(row.size, row.pending);
            ++dropped_;
            droppedThrough_ = std::uint64_t(row.id);
        }
    }
}

std::vector<StoredMessage> Spool::next(OutputBit output, std::uint64_t after, std::size_t most) {
    if (auto recent = recentAfter(output, after, most)) return std::move(*recent);
    const std::lock_guard lock(mutex_);
    std::vector<StoredMessage> found;
    // Only what is durable leaves.
    sqlite3_bind_int64(select_, 1, std::int64_t(after));
    sqlite3_bind_int64(select_, 4, std::int64_t(committedId_));
    sqlite3_bind_int(select_, 2, int(output));
    sqlite3_bind_int64(select_, 3, std::int64_t(most));
    run(select_, [&](sqlite3_stmt *s) {
        found.push_back({std::uint64_t(sqlite3_column_int64(s, 0)), textOf(s, 1), textOf(s, 2),
                         Clock::time_point(std::chrono::milliseconds(sqlite3_column_int64(s, 3)))});
    });
    return found;
}

void Spool::delivered(OutputBit output, std::span<const std::uint64_t> ids) {
    const std::lock_guard lock(stagingMutex_);
    for (const std::uint64_t id : ids) stagedAcks_.emplace_back(output, id);
    stagedAcksOf_[indexOf(unsigned(output))] += ids.size();
    const std::lock_guard recent(recentMutex_);
    for (const std::uint64_t id : ids) {
        const auto at = firstAfter(recent_, id - 1);
        if (at != recent_.end() && at->message.id == id) at->pending &= ~unsigned(output);
    }
}

void Spool::acknowledge(const std::vector<std::pair<OutputBit, std::uint64_t>> &acks) {
    if (acks.empty()) return;
    std::array<std::vector<std::uint64_t>, 3> idsOf;
    std::vector<std::uint64_t> all;
    all.reserve(acks.size());
    for (const auto &[output, id] : acks) {
        idsOf[indexOf(unsigned(output))].push_back(id);
        all.push_back(id);
    }
    for (unsigned bit = 1; bit <= 4; bit <<= 1) {
        const auto &ids = idsOf[indexOf(bit)];
        if (ids.empty()) continue;
        const std::string list = jsonArrayOf(ids);
        sqlite3_bind_int(clearBits_, 1, int(bit));
        sqlite3_bind_text(clearBits_, 2, list.data(), int(list.size()), SQLITE_STATIC);
        if (run(clearBits_) != SQLITE_DONE) {
            log::line("spool: cannot note deliveries: " + std::string(sqlite3_errmsg(db_)));
            continue;
        }
        std::uint64_t &waiting = waiting_[indexOf(bit)];
        waiting -= std::min(waiting, std::uint64_t(sqlite3_changes64(db_)));
    }
    const std::string list = jsonArrayOf(all);
    std::uint64_t count = 0, size = 0;
    sqlite3_bind_text(finished_, 1, list.data(), int(list.size()), SQLITE_STATIC);
    run(finished_, [&](sqlite3_stmt *s) {
        count = std::uint64_t(sqlite3_column_int64(s, 0));
        size = std::uint64_t(sqlite3_column_double(s, 1));
    });
    sqlite3_bind_text(removeFinished_, 1, list.data(), int(list.size()), SQLITE_STATIC);
    if (run(removeFinished_) != SQLITE_DONE) {
        log::line("spool: cannot remove delivered messages: " + std::string(sqlite3_errmsg(db_)));
        return;
    }
    rows_ -= std::min(rows_, count);
    bytes_ -= std::min(bytes_, size);
}

void Spool::abandon(OutputBit output) {
    const std::lock_guard lock(mutex_);
    writeStaged();
    outputs_ &= ~unsigned(output);
    countRows();
}

std::uint64_t Spool::waiting(OutputBit output) {
    const std::lock_guard lock(mutex_);
    const std::lock_guard staging(stagingMutex_);
    const unsigned index = indexOf(unsigned(output));
    const std::uint64_t added = (outputs_ & unsigned(output)) != 0 ? stagedAdds_.size() : 0;
    return waiting_[index] + added - std::min(waiting_[index] + added, stagedAcksOf_[index]);
}

StoreDepth Spool::depth() {
    const std::lock_guard lock(mutex_);
    const std::lock_guard staging(stagingMutex_);
    std::uint64_t bytes = bytes_;
    for (const StagedMessage &staged : stagedAdds_) {
        bytes += storedSize(staged.message.reader, staged.message.json);
    }
    return {rows_ + stagedAdds_.size(), bytes};
}

std::uint64_t Spool::dropped() {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace gateway
