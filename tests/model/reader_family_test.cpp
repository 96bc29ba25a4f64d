#include "reader_family.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace readerfamily;

namespace {

std::vector<int> captionsOf(std::uint8_t type) {
    std::vector<int> captions;
    for (const Tab &tab : tabsOf(type)) captions.push_back(keyNumber(tab.captionText));
    return captions;
}

std::vector<PageId> pagesOf(std::uint8_t type) {
    std::vector<PageId> pages;
    for (const Tab &tab : tabsOf(type)) pages.push_back(tab.page);
    return pages;
}

}  // namespace

TEST(FamilyTableTest, FirTypesOfferSixTabs) {
    for (const std::uint8_t type : {0x50, 0x60}) {
        EXPECT_EQ(captionsOf(type), (std::vector<int>{1005, 1006, 1096, 1223, 1008, 1009}));
        EXPECT_EQ(pagesOf(type),
                  (std::vector<PageId>{PageId::FirParam, PageId::SpecialParam, PageId::IdentifyTab,
                                       PageId::ActiveRead, PageId::NetParam, PageId::NetTest}));
    }
}

TEST(FamilyTableTest, FamiliesLikeFirDifferInTheirParameterPage) {
    const std::vector<std::pair<std::uint8_t, PageId>> expected{
        {0xC1, PageId::HazelParam}, {0xC2, PageId::HazelParam}, {0xC4, PageId::HazelParam},
        {0xC8, PageId::HazelParam}, {0xCC, PageId::HazelParam}, {0xC3, PageId::ElmParam},
        {0xFF, PageId::ElmParam},   {0xD0, PageId::CedarParam}};
    for (const auto &[type, parameterPage] : expected) {
        std::vector<PageId> pages = pagesOf(0x50);
        pages[0] = parameterPage;
        EXPECT_EQ(pagesOf(type), pages) << int(type);
        EXPECT_EQ(parameterPageOf(type), parameterPage);
    }
}

TEST(FamilyTableTest, Cedar2UsesTheTemperaturePages) {
    EXPECT_EQ(pagesOf(0xD1),
              (std::vector<PageId>{PageId::Cedar2Param, PageId::SpecialParam, PageId::IdentifyTemp,
                                   PageId::ActiveTemp, PageId::NetParam, PageId::NetTest}));
    EXPECT_EQ(captionsOf(0xD1), (std::vector<int>{1005, 1006, 1096, 1223, 1008, 1009}));
}

TEST(FamilyTableTest, BirchAndAlderFamilies) {
    EXPECT_EQ(captionsOf(0xD2), (std::vector<int>{1005, 1007, 1097}));
    EXPECT_EQ(pagesOf(0xD2),
              (std::vector<PageId>{PageId::BirchParam, PageId::Writer, PageId::ActiveRead}));
    EXPECT_EQ(pagesOf(0xD3),
              (std::vector<PageId>{PageId::Birch2Param, PageId::Writer, PageId::ActiveRead}));
    EXPECT_EQ(captionsOf(0xE0), (std::vector<int>{1005, 1007, 1097, 1009}));
    EXPECT_EQ(pagesOf(0xE0), (std::vector<PageId>{PageId::AlderParam, PageId::Writer,
                                                  PageId::ActiveRead, PageId::NetTest}));
}

TEST(FamilyTableTest, TypeZeroAndUnknownTypesOfferTheWelcomeTabAlone) {
    for (const std::uint8_t type : {0x00, 0x11, 0x51, 0xE1}) {
        EXPECT_EQ(captionsOf(type), std::vector<int>{1001});
        EXPECT_EQ(pageAt(type, 0), PageId::Hello);
        EXPECT_FALSE(parameterPageOf(type).has_value());
        EXPECT_TRUE(pagesToStop(type, 0).empty());
    }
}

TEST(FamilyTableTest, PageAtOutsideTheTabsIsNone) {
    EXPECT_FALSE(pageAt(0x50, 6).has_value());
    EXPECT_FALSE(pageAt(0xC4, 6).has_value());
    EXPECT_FALSE(pageAt(0x50, -1).has_value());
    EXPECT_EQ(pageAt(0xE0, 3), PageId::NetTest);
}

TEST(FamilyTableTest, ParameterSpecialAndNetworkPagesReadWhenSelected) {
    EXPECT_TRUE(readsOnSelection(0x50, PageId::FirParam));
    EXPECT_TRUE(readsOnSelection(0x50, PageId::SpecialParam));
    EXPECT_TRUE(readsOnSelection(0x50, PageId::NetParam));
    EXPECT_FALSE(readsOnSelection(0x50, PageId::IdentifyTab));
    EXPECT_FALSE(readsOnSelection(0x50, PageId::NetTest));
    EXPECT_TRUE(readsOnSelection(0xE0, PageId::AlderParam));
    EXPECT_FALSE(readsOnSelection(0x00, PageId::Hello));
}

TEST(FamilyTableTest, SelectionStopsTheFamilysRunningPages) {
    const std::vector<PageId> inventory{PageId::IdentifyTab, PageId::ActiveRead};
    const std::vector<PageId> temperature{PageId::IdentifyTemp, PageId::ActiveTemp};
    const std::vector<PageId> writer{PageId::Writer, PageId::ActiveRead};
    EXPECT_EQ(pagesToStop(0x50, 2), inventory);
    EXPECT_EQ(pagesToStop(0xC1, 0), inventory);
    EXPECT_EQ(pagesToStop(0xC3, 5), inventory);
    EXPECT_EQ(pagesToStop(0xD0, 1), inventory);
    for (int position = 0; position < 4; ++position)
        EXPECT_EQ(pagesToStop(0xD1, position), temperature);
    EXPECT_EQ(pagesToStop(0xD1, 4), inventory);
    EXPECT_EQ(pagesToStop(0xD1, 5), inventory);
    EXPECT_EQ(pagesToStop(0xD2, 0), writer);
    EXPECT_EQ(pagesToStop(0xD3, 1), writer);
    EXPECT_EQ(pagesToStop(0xE0, 2), writer);
}

TEST(FamilyTableTest, CloseStopsEveryPageThatMayRun) {
    const auto pages = pagesStoppedAtClose();
    const std::vector<PageId> stopped(pages.begin(), pages.end());
    EXPECT_EQ(stopped,
              (std::vector<PageId>{PageId::IdentifyTab, PageId::IdentifyTemp, PageId::ActiveRead,
                                   PageId::ActiveTemp, PageId::Writer}));
}

TEST(FamilyTableTest, TheGprsPagesAreReachedFromTheMaintenanceWindowOnly) {
    for (int type = 0; type <= 0xFF; ++type) {
        for (const PageId page : pagesOf(static_cast<std::uint8_t>(type))) {
            EXPECT_NE(page, PageId::GprsTest) << type;
            EXPECT_NE(page, PageId::FirNetParam) << type;
        }
    }
    std::vector<PageId> hosted;
    for (const Tab &tab : maintenanceTabs()) hosted.push_back(tab.page);
    EXPECT_EQ(hosted, (std::vector<PageId>{PageId::GprsTest, PageId::FirNetParam}));
}

TEST(FamilyTableTest, EveryPageHasItsClassName) {
    EXPECT_STREQ(pageClassName(PageId::Hello), "CHello");
    EXPECT_STREQ(pageClassName(PageId::FirParam), "CDlgFirParam");
    EXPECT_STREQ(pageClassName(PageId::GprsTest), "CDlgGPRSTest");
    EXPECT_STREQ(pageClassName(PageId::NetTest), "CDlgNetTest");
}

TEST(FamilyTableTest, FamiliesByNameAndTypeByte) {
    EXPECT_EQ(parseFamilyOrType("Cedar2"), 0xD1);
    EXPECT_EQ(parseFamilyOrType("0xcc"), 0xCC);
    EXPECT_FALSE(parseFamilyOrType("0x100"));
    EXPECT_FALSE(parseFamilyOrType("oak"));
    EXPECT_EQ(familyNamed("ALDER"), Family::Alder);
    EXPECT_EQ(familyNamed("birch2"), Family::Birch2);
    EXPECT_FALSE(familyNamed("0x50"));
    EXPECT_FALSE(familyNamed("fir "));
    EXPECT_EQ(familyOf(0xFF), Family::Elm);
    EXPECT_EQ(familyOf(0x00), Family::Unknown);
    EXPECT_EQ(antennaCount(0x50), 4);
    EXPECT_EQ(antennaCount(0xC8), 8);
    EXPECT_EQ(antennaCount(0xC2), 2);
}

TEST(FamilyTableTest, RecordLengthsAndPageListsPerFamily) {
    struct Expected {
        std::uint8_t type;
        RecordLengths device;
        bool checksModule;
        int maxPower;
        std::size_t interfaces;
        std::size_t areas;
        bool triggerMode;
        bool sessionAuto;
    };
    const Expected table[] = {
        {0xE0, {128, 128}, false, 17, 4, 3, false, false},
        {0xD2, {16, 16}, false, 17, 4, 3, false, false},
        {0xD3, {16, 16}, false, 17, 2, 3, false, false},
        {0xD0, {100, 32}, true, 33, 5, 2, true, false},
        {0xD1, {100, 32}, true, 33, 5, 3, true, false},
        {0xFF, {200, 32}, true, 26, 7, 4, true, false},
        {0x60, {64, 32}, true, 30, 5, 3, true, true},
        {0xCC, {64, 32}, true, 30, 5, 3, true, true},
    };
    for (const Expected &expected : table) {
        const FamilyTraits &traits = traitsOfType(expected.type);
        EXPECT_EQ(traits.deviceRecord.read, expected.device.read) << int(expected.type);
        EXPECT_EQ(traits.deviceRecord.write, expected.device.write) << int(expected.type);
        EXPECT_EQ(traits.checksModule, expected.checksModule) << int(expected.type);
        EXPECT_EQ(traits.maxPowerDbm, expected.maxPower) << int(expected.type);
        EXPECT_EQ(traits.interfaces.size(), expected.interfaces) << int(expected.type);
        EXPECT_EQ(traits.areas.size(), expected.areas) << int(expected.type);
        EXPECT_EQ(traits.offersTriggerMode, expected.triggerMode) << int(expected.type);
        EXPECT_EQ(traits.sessionHasAuto, expected.sessionAuto) << int(expected.type);
    }
    EXPECT_EQ(traitsOfType(0xD1).areas[2].textKey, Text::TemperatureAreaItem);
    EXPECT_EQ(traitsOfType(0xFF).interfaces[6].text, "KeyboardNoEnter");
}
