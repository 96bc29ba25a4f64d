#include "param_page_fixture.h"

#include "params/FamilyParamPages.h"

namespace paramtest {

std::unique_ptr<CDlgParamPage> makePage(Family family, IMainWindowServices &services) {
    switch (family) {
        case Family::Alder:
            return std::make_unique<CDlgAlderParam>(services, nullptr);
        case Family::Birch:
            return std::make_unique<CDlgBirchParam>(services, nullptr);
        case Family::Birch2:
            return std::make_unique<CDlgBirch2Param>(services, nullptr);
        case Family::Cedar:
            return std::make_unique<CDlgCedarParam>(services, nullptr);
        case Family::Cedar2:
            return std::make_unique<CDlgCedar2Param>(services, nullptr);
        case Family::Elm:
            return std::make_unique<CDlgElmParam>(services, nullptr);
        case Family::Hazel:
            return std::make_unique<CDlgHazelParam>(services, nullptr);
        case Family::Fir:
        case Family::Unknown:
            break;
    }
    return std::make_unique<CDlgFirParam>(services, nullptr);
}

int logCount(const pagetest::CFakeMainWindow &window, int key) {
    return int(window.logLines().count(window.text(key)));
}

bool waitForLogCount(const pagetest::CFakeMainWindow &window, int key, int count) {
    return pagetest::waitUntil([&] { return logCount(window, key) >= count; });
}

}  // namespace paramtest
