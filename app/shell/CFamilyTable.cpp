#include "shell/CFamilyTable.h"

#include <algorithm>
#include <array>

namespace {

using Tab = CFamilyTable::Tab;

enum class Family { Fir, Hazel, Elm, Cedar, Cedar2, Birch, Birch2, Alder, Welcome };

constexpr std::array<const char *, pageCount> pageClassNames{
    "CHello",          "CIdentifyTab",   "CDlgIdentifyTemp", "CDlgActiveRead", "CDlgActiveTemp",
    "CDlgWriter",      "CDlgAlderParam", "CDlgBirchParam",   "CDlgBirch2Param", "CDlgCedarParam",
    "CDlgCedar2Param", "CDlgElmParam",   "CDlgFirParam",     "CDlgHazelParam", "CDlgSpecialParam",
    "CDlgNetParam",    "CDlgFirNetParam", "CDlgGPRSTest",    "CDlgNetTest"};

// Caption keys of the tabs.
constexpr int welcomeCaption = 1001;
constexpr int parameterCaption = 1005;
constexpr int specialCaption = 1006;
constexpr int writerCaption = 1007;
constexpr int netParamCaption = 1008;
constexpr int netTestCaption = 1009;
constexpr int identifyCaption = 1096;
constexpr int activeCaption = 1097;
constexpr int activeReadCaption = 1223;

// Fir and the families that differ from it only in their parameter page.
constexpr std::array<Tab, 6> firLike(PageId parameterPage)
{
    return {{{parameterCaption, parameterPage},
             {specialCaption, PageId::SpecialParam},
             {identifyCaption, PageId::IdentifyTab},
             {activeReadCaption, PageId::ActiveRead},
             {netParamCaption, PageId::NetParam},
             {netTestCaption, PageId::NetTest}}};
}

constexpr std::array<Tab, 6> firTabs = firLike(PageId::FirParam);
constexpr std::array<Tab, 6> hazelTabs = firLike(PageId::HazelParam);
constexpr std::array<Tab, 6> elmTabs = firLike(PageId::ElmParam);
constexpr std::array<Tab, 6> cedarTabs = firLike(PageId::CedarParam);
constexpr std::array<Tab, 6> cedar2Tabs{{{parameterCaption, PageId::Cedar2Param},
                                         {specialCaption, PageId::SpecialParam},
                                         {identifyCaption, PageId::IdentifyTemp},
                                         {activeReadCaption, PageId::ActiveTemp},
                                         {netParamCaption, PageId::NetParam},
                                         {netTestCaption, PageId::NetTest}}};
constexpr std::array<Tab, 3> birchTabs{{{parameterCaption, PageId::BirchParam},
                                        {writerCaption, PageId::Writer},
                                        {activeCaption, PageId::ActiveRead}}};
constexpr std::array<Tab, 3> birch2Tabs{{{parameterCaption, PageId::Birch2Param},
                                         {writerCaption, PageId::Writer},
                                         {activeCaption, PageId::ActiveRead}}};
constexpr std::array<Tab, 4> alderTabs{{{parameterCaption, PageId::AlderParam},
                                        {writerCaption, PageId::Writer},
                                        {activeCaption, PageId::ActiveRead},
                                        {netTestCaption, PageId::NetTest}}};
constexpr std::array<Tab, 1> welcomeTabs{{{welcomeCaption, PageId::Hello}}};

Family familyOf(std::uint8_t type)
{
    switch (type) {
    case 0x50: case 0x60:
        return Family::Fir;
    case 0xC1: case 0xC2: case 0xC4: case 0xC8: case 0xCC:
        return Family::Hazel;
    case 0xC3: case 0xFF:
        return Family::Elm;
    case 0xD0:
        return Family::Cedar;
    case 0xD1:
        return Family::Cedar2;
    case 0xD2:
        return Family::Birch;
    case 0xD3:
        return Family::Birch2;
    case 0xE0:
        return Family::Alder;
    default:
        return Family::Welcome;
    }
}

constexpr std::array<PageId, 2> inventoryPages{PageId::IdentifyTab, PageId::ActiveRead};
constexpr std::array<PageId, 2> temperaturePages{PageId::IdentifyTemp, PageId::ActiveTemp};
constexpr std::array<PageId, 2> writerPages{PageId::Writer, PageId::ActiveRead};
constexpr std::array<PageId, 5> closePages{PageId::IdentifyTab, PageId::IdentifyTemp,
                                           PageId::ActiveRead, PageId::ActiveTemp,
                                           PageId::Writer};

// Cedar2 shows its temperature pages on the first four tabs; beyond them it stops the
// plain inventory pages like Fir does.
constexpr int cedar2TemperatureTabs = 4;

} // namespace

const char *pageClassName(PageId page)
{
    return pageClassNames[static_cast<std::size_t>(page)];
}

std::span<const Tab> CFamilyTable::tabsOf(std::uint8_t type)
{
    switch (familyOf(type)) {
    case Family::Fir: return firTabs;
    case Family::Hazel: return hazelTabs;
    case Family::Elm: return elmTabs;
    case Family::Cedar: return cedarTabs;
    case Family::Cedar2: return cedar2Tabs;
    case Family::Birch: return birchTabs;
    case Family::Birch2: return birch2Tabs;
    case Family::Alder: return alderTabs;
    case Family::Welcome: return welcomeTabs;
    }
    return welcomeTabs;
}

std::optional<PageId> CFamilyTable::pageAt(std::uint8_t type, int position)
{
    const std::span<const Tab> tabs = tabsOf(type);
    if (position < 0 || position >= static_cast<int>(tabs.size()))
        return std::nullopt;
    return tabs[static_cast<std::size_t>(position)].page;
}

std::optional<PageId> CFamilyTable::parameterPageOf(std::uint8_t type)
{
    if (familyOf(type) == Family::Welcome)
        return std::nullopt;
    return tabsOf(type).front().page;
}

bool CFamilyTable::readsOnSelection(std::uint8_t type, PageId page)
{
    return page == parameterPageOf(type) || page == PageId::SpecialParam
           || page == PageId::NetParam;
}

std::vector<PageId> CFamilyTable::pagesToStop(std::uint8_t type, int position)
{
    switch (familyOf(type)) {
    case Family::Fir:
    case Family::Hazel:
    case Family::Elm:
    case Family::Cedar:
        return {inventoryPages.begin(), inventoryPages.end()};
    case Family::Cedar2:
        if (position < cedar2TemperatureTabs)
            return {temperaturePages.begin(), temperaturePages.end()};
        return {inventoryPages.begin(), inventoryPages.end()};
    case Family::Birch:
    case Family::Birch2:
    case Family::Alder:
        return {writerPages.begin(), writerPages.end()};
    case Family::Welcome:
        break;
    }
    return {};
}

std::span<const PageId> CFamilyTable::pagesStoppedAtClose()
{
    return closePages;
}
