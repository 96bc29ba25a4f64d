// Both stores: messages wait for every configured output, leave once each has them, the
// oldest are dropped beyond the bound; the spool keeps them across a reopen (in order, for
// the outputs still configured) and moves an unreadable file aside.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "memory_store.h"
#include "spool.h"

namespace {

namespace fs = std::filesystem;
using namespace gateway;

constexpr unsigned kBoth = unsigned(OutputBit::Mqtt) | unsigned(OutputBit::Http);

class Folder {
  public:
    Folder()
        : path_(fs::temp_directory_path() / ("tagbench-store-test-" + std::to_string(::getpid()) +
                                             "-" + std::to_string(counter_++))) {
        fs::remove_all(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    const fs::path &path() const { return path_; }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<TagMessage> messages(int first, int count) {
    std::vector<TagMessage> made;
    for (int n = first; n < first + count; ++n) {
        made.push_back({"R" + std::to_string(n % 2), "{\"n\":" + std::to_string(n) + "}", 0});
    }
    return made;
}

std::vector<std::string> jsonOf(const std::vector<StoredMessage> &stored) {
    std::vector<std::string> json;
    for (const StoredMessage &m : stored) json.push_back(m.json);
    return json;
}

std::vector<std::uint64_t> idsOf(const std::vector<StoredMessage> &stored) {
    std::vector<std::uint64_t> ids;
    for (const StoredMessage &m : stored) ids.push_back(m.id);
    return ids;
}

using StoreMaker = std::function<std::unique_ptr<Store>(const fs::path &, unsigned)>;

const std::pair<const char *, StoreMaker> kStores[] = {
    {"memory", [](const fs::path &,
                  unsigned outputs) { return std::make_unique<MemoryStore>(outputs, 1000); }},
    {"spool",
     [](const fs::path &folder, unsigned outputs) {
         return std::make_unique<Spool>(folder, outputs, 1024 * 1024);
     }},
};

TEST(StoreTest, MessagesLeaveOnceEveryOutputHasThem) {
    for (const auto &[name, make] : kStores) {
        SCOPED_TRACE(name);
        Folder folder;
        auto store = make(folder.path(), kBoth);
        auto added = messages(0, 10);
        store->add(added);
        store->sync();
        EXPECT_EQ(added.front().sequence + 9, added.back().sequence);
        const auto forMqtt = store->next(OutputBit::Mqtt, 0, 4);
        ASSERT_EQ(forMqtt.size(), 4u);
        EXPECT_EQ(forMqtt.front().json, "{\"n\":0}");
        store->delivered(OutputBit::Mqtt, idsOf(forMqtt));
        store->sync();
        EXPECT_EQ(store->waiting(OutputBit::Mqtt), 6u);
        EXPECT_EQ(store->waiting(OutputBit::Http), 10u);
        EXPECT_EQ(store->depth().messages, 10u);
        // The next read from the cursor, and what MQTT has is no longer offered to it.
        EXPECT_EQ(idsOf(store->next(OutputBit::Mqtt, forMqtt.back().id, 100)).size(), 6u);
        EXPECT_EQ(store->next(OutputBit::Mqtt, 0, 100).front().json, "{\"n\":4}");
        store->delivered(OutputBit::Http, idsOf(store->next(OutputBit::Http, 0, 4)));
        store->sync();
        EXPECT_EQ(store->depth().messages, 6u);
        store->abandon(OutputBit::Http);
        EXPECT_EQ(store->waiting(OutputBit::Http), 0u);
        store->delivered(OutputBit::Mqtt, idsOf(store->next(OutputBit::Mqtt, 0, 100)));
        store->sync();
        EXPECT_EQ(store->depth().messages, 0u);
        EXPECT_EQ(store->depth().bytes, 0u);
        EXPECT_EQ(store->dropped(), 0u);
    }
}

TEST(StoreTest, BeyondTheBoundTheOldestAreDroppedAndCounted) {
    Folder folder;
    const std::uint64_t oneMessage = storedSize("R0", "{\"n\":0}");
    std::unique_ptr<Store> stores[] = {
        std::make_unique<MemoryStore>(kBoth, 5),
        std::make_unique<Spool>(folder.path(), kBoth, 5 * oneMessage),
    };
    for (auto &store : stores) {
        auto added = messages(0, 8);
        store->add(added);
        store->sync();
        EXPECT_EQ(store->dropped(), 3u);
        EXPECT_EQ(store->depth().messages, 5u);
        EXPECT_EQ(jsonOf(store->next(OutputBit::Http, 0, 1)).front(), "{\"n\":3}");
        EXPECT_EQ(store->waiting(OutputBit::Mqtt), 5u);
    }
}

TEST(SpoolTest, ReopenedSpoolReplaysInOrderForTheOutputsStillConfigured) {
    Folder folder;
    {
        Spool spool(folder.path(), kBoth, 1 << 20);
        auto added = messages(0, 6);
        spool.add(added);
        spool.sync();
        spool.delivered(OutputBit::Http, idsOf(spool.next(OutputBit::Http, 0, 6)));
        spool.sync();
        spool.delivered(OutputBit::Mqtt, idsOf(spool.next(OutputBit::Mqtt, 0, 2)));
        spool.sync();
    }
    Spool reopened(folder.path(), unsigned(OutputBit::Mqtt) | unsigned(OutputBit::Stdout), 1 << 20);
    EXPECT_EQ(reopened.replayed(), 4u);
    EXPECT_EQ(jsonOf(reopened.next(OutputBit::Mqtt, 0, 100)),
              (std::vector<std::string>{"{\"n\":2}", "{\"n\":3}", "{\"n\":4}", "{\"n\":5}"}));
    EXPECT_TRUE(reopened.next(OutputBit::Stdout, 0, 100).empty());
    auto more = messages(6, 1);
    reopened.add(more);
    reopened.sync();
    EXPECT_GT(more.front().sequence, reopened.next(OutputBit::Mqtt, 0, 4).back().id);
}

TEST(SpoolTest, UnreadableFileIsMovedAsideAndANewSpoolBegins) {
    const struct {
        const char *what;
        std::function<void(const fs::path &)> spoil;
    } cases[] = {
        {"not a database",
         [](const fs::path &file) { std::ofstream(file) << std::string(8192, 'x'); }},
        {"damaged",
         [](const fs::path &file) {
             {
                 Spool spool(file.parent_path(), kBoth, 1 << 20);
                 auto added = messages(0, 2000);
                 spool.add(added);
             }
             std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
             bytes.seekp(4096);
             bytes << std::string(2000, '\x5a');
         }},
        {"another program's database",
         [](const fs::path &file) {
             { Spool spool(file.parent_path(), kBoth, 1 << 20); }
             // Same layout, other application id: a foreign file.
             std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
             bytes.seekp(68);
             bytes << "ABCD";
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        fs::create_directories(folder.path());
        const fs::path file = folder.path() / "spool.db";
        c.spoil(file);
        const auto size = fs::file_size(file);
        Spool spool(folder.path(), kBoth, 1 << 20);
        EXPECT_EQ(spool.replayed(), 0u);
        auto added = messages(0, 1);
        spool.add(added);
        spool.sync();
        EXPECT_EQ(spool.next(OutputBit::Mqtt, 0, 10).size(), 1u);
        int aside = 0;
        for (const auto &entry : fs::directory_iterator(folder.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("spool.db.unreadable-") && !name.ends_with("-wal") &&
                !name.ends_with("-shm")) {
                ++aside;
                EXPECT_EQ(fs::file_size(entry.path()), size);
            }
        }
        EXPECT_EQ(aside, 1);
    }
}

TEST(SpoolTest, SecondGatewayOnTheSameSpoolIsRefusedWithoutMovingIt) {
    Folder folder;
    Spool first(folder.path(), kBoth, 1 << 20);
    auto added = messages(0, 1);
    first.add(added);
    first.sync();
    EXPECT_THROW(Spool(folder.path(), kBoth, 1 << 20), std::runtime_error);
    EXPECT_EQ(first.next(OutputBit::Mqtt, 0, 10).size(), 1u);
}

}  // namespace
