#include "shell/CDemoReader.h"

#include "reader_model.h"
#include "virtual_reader.h"

#include <algorithm>

namespace {
// The demo runs as long as the program: keep only the newest requests, not every one.
constexpr size_t requestsKept = 1000;
// A reader set to active mode, reporting a few tags twice a second (its reports show in the
// traffic log too): the active page shows the field as soon as it is started.
constexpr std::chrono::milliseconds demoReportPeriod { 500 };
constexpr int demoReportBatch = 8;
// Readers of the families with the writer page stand at a writing station: tags pass one at a
// time, staying for about a second of inventories, so EPC Auto numbers them in turn.
constexpr int stationTags = 20;
constexpr int stationLooksEach = 25;
constexpr int stationGapLooks = 10;

bool isWritingStation(const std::string &family)
{
    const std::uint8_t type = readerfamily::parseFamilyOrType(family).value_or(0);
    return std::ranges::any_of(readerfamily::tabsOf(type),
        [](const readerfamily::Tab &tab) { return tab.page == readerfamily::PageId::Writer; });
}
} // namespace

CDemoReader::CDemoReader(const QString &family)
{
    const std::string name = family.isEmpty() ? std::string("fir") : family.toStdString();
    const bool station = isWritingStation(name);
    m_reader = std::make_unique<readersim::VirtualReader>(readersim::ReaderOptions {
        .family = name, .livelyField = !station, .requestLogLimit = requestsKept });
    m_port = m_reader->serveTcp(0);
    m_reader->withModel([station](readersim::ReaderModel &model) {
        model.active.period = demoReportPeriod;
        model.active.batch = demoReportBatch;
        if (station)
            model.passGeneratedTagsInTurn(stationTags, stationLooksEach, stationGapLooks);
        model.enterActiveMode();
    });
}

CDemoReader::~CDemoReader() = default;
