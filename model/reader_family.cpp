#include "reader_family.h"

#include <array>
#include <cctype>
#include <charconv>

namespace readerfamily {

namespace {

constexpr std::array<const char *, pageCount> pageClassNames{
    "CHello",          "CIdentifyTab",    "CDlgIdentifyTemp", "CDlgActiveRead",  "CDlgActiveTemp",
    "CDlgWriter",      "CDlgAlderParam",  "CDlgBirchParam",   "CDlgBirch2Param", "CDlgCedarParam",
    "CDlgCedar2Param", "CDlgElmParam",    "CDlgFirParam",     "CDlgHazelParam",  "CDlgSpecialParam",
    "CDlgNetParam",    "CDlgFirNetParam", "CDlgGPRSTest",     "CDlgNetTest"};

// ---- Parameter page lists ------------------------------------------------------------------

constexpr std::array<ListItem, 4> alderInterfaces{
    {{"USB/RS232"}, {"WIFI"}, {"BlueTooth"}, {"Lora"}}};
constexpr std::array<ListItem, 4> birchInterfaces{
    {{"USB"}, {"CustomProtocol"}, {"Keyboard"}, {"RS485/RS232"}}};
constexpr std::array<ListItem, 2> birch2Interfaces{{{"USB"}, {"Keyboard"}}};
constexpr std::array<ListItem, 5> cedarInterfaces{
    {{"USB"}, {"RS232/RS485"}, {"RJ45"}, {"WIFI"}, {"Weigand"}}};
constexpr std::array<ListItem, 7> elmInterfaces{
    {{"USB"}, {"RS232/RS485"}, {"RJ45"}, {"WIFI"}, {"Weigand"}, {"Keyboard"}, {"KeyboardNoEnter"}}};
constexpr std::array<ListItem, 5> firInterfaces{{{"USB"}, {"RS232"}, {"RJ45"}, {"WIFI"}, {"GPRS"}}};

constexpr std::array<ListItem, 3> epcTidUser{{{"EPC"}, {"TID"}, {"USER"}}};
constexpr std::array<ListItem, 2> epcTid{{{"EPC"}, {"TID"}}};
constexpr std::array<ListItem, 3> cedar2Areas{{{"EPC"}, {"TID"}, {"", Text::TemperatureAreaItem}}};
constexpr std::array<ListItem, 4> elmAreas{{{"EPC"}, {"TID"}, {"USER"}, {"EPC+TID"}}};

constexpr std::array<FamilyTraits, 9> allTraits{{
    {Family::Fir,
     "fir",
     0x50,
     {64, 32},
     true,
     30,
     true,
     true,
     true,
     firInterfaces,
     epcTidUser,
     true,
     true},
    {Family::Hazel,
     "hazel",
     0xC4,
     {64, 32},
     true,
     30,
     true,
     true,
     false,
     cedarInterfaces,
     epcTidUser,
     true,
     true},
    {Family::Elm,
     "elm",
     0xC3,
     {200, 32},
     true,
     26,
     true,
     true,
     false,
     elmInterfaces,
     elmAreas,
     true,
     false},
    {Family::Cedar,
     "cedar",
     0xD0,
     {100, 32},
     true,
     33,
     true,
     false,
     false,
     cedarInterfaces,
     epcTid,
     true,
     false},
    {Family::Cedar2,
     "cedar2",
     0xD1,
     {100, 32},
     true,
     33,
     true,
     true,
     false,
     cedarInterfaces,
     cedar2Areas,
     true,
     false},
    {Family::Birch,
     "birch",
     0xD2,
     {16, 16},
     false,
     17,
     false,
     true,
     false,
     birchInterfaces,
     epcTidUser,
     false,
     false},
    {Family::Birch2,
     "birch2",
     0xD3,
     {16, 16},
     false,
     17,
     false,
     true,
     false,
     birch2Interfaces,
     epcTidUser,
     false,
     false},
    {Family::Alder,
     "alder",
     0xE0,
     {128, 128},
     false,
     17,
     false,
     false,
     false,
     alderInterfaces,
     epcTidUser,
     false,
     false},
    // A reader the program does not know: the virtual reader answers everything for it, so
    // any page can be tried; the program offers it the welcome tab alone.
    {Family::Unknown,
     "unknown",
     0x99,
     {64, 32},
     false,
     30,
     true,
     true,
     true,
     firInterfaces,
     epcTidUser,
     true,
     true},
}};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// ---- Tab sets -----------------------------------------------------------------------------

// Fir and the families that differ from it only in their parameter page.
constexpr std::array<Tab, 6> firLike(PageId parameterPage) {
    return {{{Text::ParameterTab, parameterPage},
             {Text::SpecialParameterTab, PageId::SpecialParam},
             {Text::AnswerModeTab, PageId::IdentifyTab},
             {Text::ActiveReadTab, PageId::ActiveRead},
             {Text::NetworkParameterTab, PageId::NetParam},
             {Text::NetworkTestTab, PageId::NetTest}}};
}

constexpr std::array<Tab, 6> firTabs = firLike(PageId::FirParam);
constexpr std::array<Tab, 6> hazelTabs = firLike(PageId::HazelParam);
constexpr std::array<Tab, 6> elmTabs = firLike(PageId::ElmParam);
constexpr std::array<Tab, 6> cedarTabs = firLike(PageId::CedarParam);
constexpr std::array<Tab, 6> cedar2Tabs{{{Text::ParameterTab, PageId::Cedar2Param},
                                         {Text::SpecialParameterTab, PageId::SpecialParam},
                                         {Text::AnswerModeTab, PageId::IdentifyTemp},
                                         {Text::ActiveReadTab, PageId::ActiveTemp},
                                         {Text::NetworkParameterTab, PageId::NetParam},
                                         {Text::NetworkTestTab, PageId::NetTest}}};
constexpr std::array<Tab, 3> birchTabs{{{Text::ParameterTab, PageId::BirchParam},
                                        {Text::WriterTab, PageId::Writer},
                                        {Text::ActiveModeTab, PageId::ActiveRead}}};
constexpr std::array<Tab, 3> birch2Tabs{{{Text::ParameterTab, PageId::Birch2Param},
                                         {Text::WriterTab, PageId::Writer},
                                         {Text::ActiveModeTab, PageId::ActiveRead}}};
constexpr std::array<Tab, 4> alderTabs{{{Text::ParameterTab, PageId::AlderParam},
                                        {Text::WriterTab, PageId::Writer},
                                        {Text::ActiveModeTab, PageId::ActiveRead},
                                        {Text::NetworkTestTab, PageId::NetTest}}};
constexpr std::array<Tab, 1> welcomeTabs{{{Text::WelcomeTab, PageId::Hello}}};
constexpr std::array<Tab, 2> hostedByMaintenance{
    {{Text::GprsTestTab, PageId::GprsTest}, {Text::NetworkParameterPageTab, PageId::FirNetParam}}};

constexpr std::array<PageId, 2> inventoryPages{PageId::IdentifyTab, PageId::ActiveRead};
constexpr std::array<PageId, 2> temperaturePages{PageId::IdentifyTemp, PageId::ActiveTemp};
constexpr std::array<PageId, 2> writerPages{PageId::Writer, PageId::ActiveRead};
constexpr std::array<PageId, 5> closePages{PageId::IdentifyTab, PageId::IdentifyTemp,
                                           PageId::ActiveRead, PageId::ActiveTemp, PageId::Writer};

// Cedar2 shows its temperature pages on the first four tabs; beyond them it stops the plain
// inventory pages like Fir does.
constexpr int cedar2TemperatureTabs = 4;

}  // namespace

const char *pageClassName(PageId page) {
    return pageClassNames[static_cast<std::size_t>(page)];
}

Family familyOf(uint8_t type) {
    switch (type) {
        case 0x50:
        case 0x60:
            return Family::Fir;
        case 0xC1:
        case 0xC2:
        case 0xC4:
        case 0xC8:
        case 0xCC:
            return Family::Hazel;
        case 0xC3:
        case 0xFF:
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
            return Family::Unknown;
    }
}

const FamilyTraits &traitsOf(Family family) {
    for (const FamilyTraits &traits : allTraits)
        if (traits.family == family) return traits;
    return allTraits.back();
}

const FamilyTraits &traitsOfType(uint8_t type) {
    return traitsOf(familyOf(type));
}

std::optional<Family> familyNamed(std::string_view text) {
    const std::string lower = lowerCase(text);
    for (const FamilyTraits &traits : allTraits)
        if (lower == traits.name) return traits.family;
    return std::nullopt;
}

std::optional<uint8_t> parseFamilyOrType(std::string_view text) {
    if (const std::optional<Family> family = familyNamed(text))
        return traitsOf(*family).defaultType;
    const std::string lower = lowerCase(text);
    if (lower.size() < 3 || lower.size() > 4 || lower.compare(0, 2, "0x") != 0) return std::nullopt;
    unsigned value = 0;
    const char *first = lower.data() + 2;
    const char *last = lower.data() + lower.size();
    const auto [end, error] = std::from_chars(first, last, value, 16);
    if (error != std::errc{} || end != last || value > 0xFF) return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::string familyNames() {
    std::string names;
    for (const FamilyTraits &traits : allTraits) {
        if (!names.empty()) names += ", ";
        names += traits.name;
    }
    return names;
}

int antennaCount(uint8_t type) {
    return antennaCount(familyOf(type), type);
}

int antennaCount(Family family, uint8_t type) {
    switch (family) {
        case Family::Fir:
            return (type & 0x0F) == 0 ? 4 : 8;
        case Family::Hazel:
            if (type == 0xC1) return 1;
            if (type == 0xC2) return 2;
            if (type == 0xC4) return 4;
            return 8;
        case Family::Elm:
            return 4;
        case Family::Unknown:
            return 4;
        default:
            return 1;
    }
}

std::span<const Tab> tabsOf(uint8_t type) {
    switch (familyOf(type)) {
        case Family::Fir:
            return firTabs;
        case Family::Hazel:
            return hazelTabs;
        case Family::Elm:
            return elmTabs;
        case Family::Cedar:
            return cedarTabs;
        case Family::Cedar2:
            return cedar2Tabs;
        case Family::Birch:
            return birchTabs;
        case Family::Birch2:
            return birch2Tabs;
        case Family::Alder:
            return alderTabs;
        case Family::Unknown:
            return welcomeTabs;
    }
    return welcomeTabs;
}

std::optional<PageId> pageAt(uint8_t type, int position) {
    const std::span<const Tab> tabs = tabsOf(type);
    if (position < 0 || position >= static_cast<int>(tabs.size())) return std::nullopt;
    return tabs[static_cast<std::size_t>(position)].page;
}

std::optional<PageId> parameterPageOf(uint8_t type) {
    if (familyOf(type) == Family::Unknown) return std::nullopt;
    return tabsOf(type).front().page;
}

bool readsOnSelection(uint8_t type, PageId page) {
    return page == parameterPageOf(type) || page == PageId::SpecialParam ||
           page == PageId::NetParam;
}

std::vector<PageId> pagesToStop(uint8_t type, int position) {
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
        case Family::Unknown:
            break;
    }
    return {};
}

std::span<const PageId> pagesStoppedAtClose() {
    return closePages;
}

std::span<const Tab> maintenanceTabs() {
    return hostedByMaintenance;
}

}  // namespace readerfamily
