// The state of one virtual reader and its answers to every command. Not thread-safe by
// itself: VirtualReader serialises all access (withModel runs under the same lock).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reader_family.h"
#include "request_parser.h"
#include "virtual_tag.h"

namespace readersim {

using readerfamily::Family;
using readerfamily::FamilyTraits;

using WhiteListEntry = std::array<uint8_t, 4>;

// A parameter record as the reader keeps it: the leading byte it reports ahead of the body
// and the body itself (room for the longest write; reads return the family's size).
struct ParamRecord {
    uint8_t lead = 0;
    Bytes body;
};

// Firmware upload in progress and the result of the last completed one.
struct UpgradeState {
    int nextBlock = 0;    // the only block number accepted next
    bool broken = false;  // a block came out of order: the end command fails
    bool passwordVariant = false;
    Bytes image;               // blocks received so far, in order
    size_t lastBlockSize = 0;  // a resent last block (its answer was lost) is accepted again
    bool completed = false;    // an upload ended successfully
    Bytes completedImage;      // its image, as the blocks brought it
};

// Refuses block `block` of an upload the next `times` times it comes (a flaky link or a busy
// flash, for hosts that resend).
struct UpgradeRefusal {
    int block = -1;
    int times = 0;
};

struct ActiveSettings {
    std::chrono::microseconds period{200000};
    int batch = 0;  // tags per report; 0: as many as fit
};

// A field that tags pass through one after another, as on a production line: each tag stays
// for a number of looks (inventories and tag reads, the requests that find a tag), then
// leaves; empty looks may lie between two tags. Counted in requests rather than time, so a
// host that writes each tag as it arrives sees the same sequence however slow it runs.
struct FieldPasses {
    std::vector<VirtualTag> coming;  // tags still to pass, in order
    std::vector<VirtualTag> passed;  // tags that left, in order, as they left
    int looksEach = 2;               // looks a tag answers while in the field (at least 1)
    int gapLooks = 0;                // empty looks between two tags
    bool repeat = false;             // the passed tags come round again
};

class ReaderModel {
  public:
    static constexpr size_t kRecordCapacity = 256;
    static constexpr size_t kMaxAnswerData = 1453;        // hosts drop longer answers
    static constexpr uint16_t kMaxInventoryRecords = 50;  // a real reader's answer holds no more
    static constexpr size_t kWhiteListCapacity = 1000;
    static constexpr size_t kSignalTextSize = 8;
    static constexpr size_t kLbsTextSize = 64;
    static constexpr size_t kGpsTextSize = 1024;

    explicit ReaderModel(uint8_t type = 0x50, int tagCount = 5);

    // --- identity ---
    uint8_t type() const { return serial[0]; }
    Family family() const { return readerfamily::familyOf(type()); }
    const FamilyTraits &traits() const { return readerfamily::traitsOf(family()); }
    // Changes the type byte (first serial byte) and restores that family's records.
    void setType(uint8_t type);
    int antennaCount() const { return readerfamily::antennaCount(type()); }
    // The reader's own bus address (device record field "rs485_address").
    uint8_t address() const;

    uint8_t firmwareVersion = 0x23;  // 2.3
    uint8_t hardwareVersion = 0x11;  // 1.1
    std::array<uint8_t, 7> serial{};
    uint8_t infoExtra = 0x00;  // tenth byte of the system information
    Password devicePassword{};
    std::array<uint8_t, 4> deviceId{0x00, 0x00, 0x00, 0x01};

    // --- records ---
    ParamRecord deviceRecord;
    ParamRecord netRecord;
    ParamRecord specialRecord;
    void restoreDeviceDefaults();
    void restoreNetDefaults();
    void restoreSpecialDefaults();
    int deviceRecordSize() const { return traits().deviceRecord.read; }

    // --- clock: runs from the moment it was set ---
    std::array<uint8_t, 6> clock() const;
    bool setClock(std::span<const uint8_t> sixBytes);

    // --- hardware state ---
    bool relayClosed = false;
    uint8_t moduleStatus = 1;       // 1: radio module answers
    uint8_t connectedAntennas = 0;  // check result mask; set for every antenna at start
    bool killed = false;            // after self-kill the reader answers nothing

    // --- GPRS / GPS ---
    uint8_t simState = 1;
    std::string signalText = "CSQ:24";
    std::string lbsText = "LAC:1A2B,CI:00C3D4,MCC:460,MNC:00";
    std::string gpsText = "$GPRMC,083559.00,A,2237.49000,N,11403.28000,E,0.004,77.52,081226,,,A*57";

    // --- tags ---
    std::vector<VirtualTag> tags;
    // Records one inventory answer holds at most (a dense field's reader may send more, up to
    // the answer's byte limit).
    uint16_t inventoryRecords = kMaxInventoryRecords;
    // Adds a tag with a generated EPC and TID; returns its index.
    size_t addGeneratedTag();
    // Tags the reader can see: on an existing, enabled antenna.
    bool tagVisible(const VirtualTag &tag) const;
    // Empties the field; from the next look on, the tags pass through it as scripted (the
    // passing tag is then the only one in `tags`).
    void scriptPasses(FieldPasses passes);
    // The script with the tags still coming and those that have passed; nothing unscripted.
    const std::optional<FieldPasses> &passes() const { return passes_; }
    // A writing station's field: `count` generated tags pass one after another, each for
    // `looksEach` looks with `gapLooks` empty looks between them, and keep coming round.
    void passGeneratedTagsInTurn(int count, int looksEach, int gapLooks);

    // --- lists kept by the reader ---
    std::vector<WhiteListEntry> whiteList;
    std::vector<Bytes> cacheRecords;  // tag records (length byte + body)
    static constexpr size_t kCacheCapacity = 2000;
    bool cacheEnabled() const;
    // With the cache enabled, the records of a report no host took are kept for 0x43.
    void cacheUndelivered(std::span<const uint8_t> reportFrame);
    UpgradeState upgrade;
    UpgradeRefusal upgradeRefusal;

    // --- active mode ---
    ActiveSettings active;
    bool activeRunning = false;  // StartRead, or work mode 1 in the device record
    uint8_t transState() const { return activeRunning ? 1 : 0; }
    // Work mode 1 in the device record, as a reader set to active mode starts up.
    void enterActiveMode();
    // The next 0x45 report with up to `batch` visible tags (0: as many as fit), taking tags
    // in turn across reports; empty when no tag is visible.
    Bytes nextActiveReport(int batch);

    // Whole response frame for a request frame, or nothing when the reader stays silent.
    std::optional<Bytes> answer(const Request &request);
    // Whether a reboot was answered since the last call: the reader then restarts, dropping
    // its connections for a moment.
    bool takeRestartRequest();

  private:
    struct Reply {
        uint8_t status = 1;
        Bytes data;
    };
    static Reply failure() { return Reply{0, {}}; }

    Bytes defaultDeviceBody() const;
    uint8_t workMode() const;
    Reply dispatch(const Request &request);
    // Up to inventoryRecords visible tags, taking tags in turn across answers.
    Reply inventory();
    Reply readTag(std::span<const uint8_t> data);
    Reply writeTag(std::span<const uint8_t> data);
    Reply writeEpc(std::span<const uint8_t> data);
    Reply lockTag(std::span<const uint8_t> data);
    Reply setFrequency(std::span<const uint8_t> data);
    Reply systemInfo() const;
    Reply setSystemInfo(std::span<const uint8_t> data);
    Reply readDeviceId(std::span<const uint8_t> data) const;
    Reply setDeviceId(std::span<const uint8_t> data);
    Reply readRecord(const ParamRecord &record, int size, int ignoredBytes) const;
    Reply writeRecord(ParamRecord &record, std::span<const uint8_t> data, int markerBytes);
    Reply readOneParam(std::span<const uint8_t> data) const;
    Reply setOneParam(std::span<const uint8_t> data);
    Reply readWhiteList(std::span<const uint8_t> data) const;
    Reply writeWhiteList(std::span<const uint8_t> data);
    Reply deleteOneWhiteListEntry(std::span<const uint8_t> data);
    Reply cache() const;
    Reply upgradeBlock(std::span<const uint8_t> data, bool passwordVariant);
    Reply upgradeEnd(std::span<const uint8_t> data, bool passwordVariant);
    bool isResentLastBlock(int number, std::span<const uint8_t> block) const;
    void restartUpgrade();
    Reply selfKill(std::span<const uint8_t> data);
    Reply fixedText(const std::string &text, size_t size) const;
    Reply checkAntennas() const;
    void reboot();
    void followWorkMode(uint8_t previousMode);
    VirtualTag *firstVisibleTag();
    bool devicePasswordMatches(std::span<const uint8_t> data) const;
    static Bytes tagRecord(const VirtualTag &tag);

    // A look at the field (inventory or read): moves a scripted field on first.
    void look();

    std::optional<FieldPasses> passes_;
    int looksLeft_ = 0;  // of the passing tag's stay, or of the gap after it
    std::chrono::seconds clockOffset_{0};
    bool restartRequested_ = false;
    size_t nextReportTag_ = 0;
    size_t nextInventoryTag_ = 0;
    uint32_t generatedTags_ = 0;
};

}  // namespace readersim
