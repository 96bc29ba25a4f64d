// Reader families: which type bytes belong to which family, and what a reader of each family
// is (record lengths, antennas, power range, the lists of its parameter page, the tabs the
// program offers for it). One table, used by the program's tab control and pages and by the
// virtual reader. Qt-free.
#pragma once

#include "text_keys.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace readerfamily {

enum class Family { Fir, Hazel, Elm, Cedar, Cedar2, Birch, Birch2, Alder, Unknown };

// Every page the program creates, one object each.
enum class PageId {
    Hello,
    IdentifyTab,
    IdentifyTemp,
    ActiveRead,
    ActiveTemp,
    Writer,
    AlderParam,
    BirchParam,
    Birch2Param,
    CedarParam,
    Cedar2Param,
    ElmParam,
    FirParam,
    HazelParam,
    SpecialParam,
    NetParam,
    FirNetParam,
    GprsTest,
    NetTest,
};
inline constexpr int pageCount = static_cast<int>(PageId::NetTest) + 1;

// The class name of a page ("CDlgFirParam").
const char *pageClassName(PageId page);

// A list item of a parameter page: a fixed text, or (textKey set) a language text.
struct ListItem {
    std::string_view text;
    std::optional<Text> textKey = std::nullopt;
};

struct RecordLengths {
    int read;
    int write;
};

// The network record is read whole; the plain network page writes its first 160 bytes, the
// Fir network page (with the GPRS fields) all 250.
inline constexpr RecordLengths networkRecord{250, 160};
inline constexpr int firNetworkRecordWrite = 250;
inline constexpr RecordLengths specialRecord{200, 64};

struct FamilyTraits {
    Family family;
    const char *name;     // as typed on command lines ("fir")
    uint8_t defaultType;  // type byte used when the family is chosen by name
    RecordLengths deviceRecord;
    bool checksModule;                     // the parameter page's Read is followed by CheckModule
    int maxPowerDbm;                       // the RF power list runs 0 .. this
    bool hasNetwork;                       // network and special records, network pages
    bool hasRelay;                         // the reader itself drives a relay
    bool hasGprs;                          // SIM, signal, cell location and GPS texts
    std::span<const ListItem> interfaces;  // device record byte 0
    std::span<const ListItem> areas;       // device record byte 9
    bool offersTriggerMode;                // work modes answer, active and, when set, trigger
    bool sessionHasAuto;                   // session list "0".."3" plus "Auto"
};

// Family of a type byte; bytes outside every family give Family::Unknown.
Family familyOf(uint8_t type);
const FamilyTraits &traitsOf(Family family);
const FamilyTraits &traitsOfType(uint8_t type);

// The family of a name as typed on command lines (case-insensitive); nothing for another text.
std::optional<Family> familyNamed(std::string_view text);
// Accepts a family name (case-insensitive) or a type byte written "0x..". Returns the type
// byte, or nothing for text that is neither.
std::optional<uint8_t> parseFamilyOrType(std::string_view text);
std::string familyNames();  // "fir, hazel, ..." for help texts

// Antennas a reader of this type drives: the four-port Fir models end in a zero nibble, the
// other Fir models have eight ports; Hazel models encode the count in the type.
int antennaCount(uint8_t type);
// The same rule for a reader of a known family whatever its type byte says (a family's page
// asks before any reader of it is connected, when the type is still 0).
int antennaCount(Family family, uint8_t type);

struct Tab {
    Text captionText;
    PageId page;
};

// The tabs of the type's family, from position 0. A type in no family gets the welcome tab
// alone, as before the first Open.
std::span<const Tab> tabsOf(uint8_t type);
std::optional<PageId> pageAt(uint8_t type, int position);
// The family's parameter page (tab 0); none for the welcome tab.
std::optional<PageId> parameterPageOf(uint8_t type);
// Pages whose read runs when their tab is selected.
bool readsOnSelection(uint8_t type, PageId page);
// Pages whose running work ends when the tab at position is selected.
std::vector<PageId> pagesToStop(uint8_t type, int position);
// Pages whose running work ends when the connection closes.
std::span<const PageId> pagesStoppedAtClose();
// The pages no family's tabs show, which the maintenance window hosts for readers with a GPRS
// modem: the GPRS and GPS test page and the Fir network page with its GPS and GPRS settings.
std::span<const Tab> maintenanceTabs();

}  // namespace readerfamily
