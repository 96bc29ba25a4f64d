#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Every page the main window creates, one object each.
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

// Which tabs a reader family offers, decided by the type byte (the first byte of the
// reader's serial number).
class CFamilyTable
{
public:
    struct Tab
    {
        int captionText;
        PageId page;
    };

    // The tabs of the type's family, from position 0. A type in no family gets the welcome
    // tab alone, as before the first Open.
    static std::span<const Tab> tabsOf(std::uint8_t type);
    static std::optional<PageId> pageAt(std::uint8_t type, int position);
    // The family's parameter page (tab 0); none for the welcome tab.
    static std::optional<PageId> parameterPageOf(std::uint8_t type);
    // Pages whose read runs when their tab is selected.
    static bool readsOnSelection(std::uint8_t type, PageId page);
    // Pages whose running work ends when the tab at position is selected.
    static std::vector<PageId> pagesToStop(std::uint8_t type, int position);
    // Pages whose running work ends when the connection closes.
    static std::span<const PageId> pagesStoppedAtClose();
};
