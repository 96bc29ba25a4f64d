#include "shell/CDemoReader.h"

#include "reader_model.h"
#include "virtual_reader.h"

namespace
{
// The demo runs as long as the program: keep only the newest requests, not every one.
constexpr size_t requestsKept = 1000;
// A reader set to active mode, reporting a few tags twice a second (its reports show in the
// traffic log too): the active page shows the field as soon as it is started.
constexpr std::chrono::milliseconds demoReportPeriod{500};
constexpr int demoReportBatch = 8;
}

CDemoReader::CDemoReader(const QString &family)
    : m_reader(std::make_unique<readersim::VirtualReader>(readersim::ReaderOptions{
          .family = family.isEmpty() ? std::string("fir") : family.toStdString(),
          .livelyField = true,
          .requestLogLimit = requestsKept}))
    , m_port(m_reader->serveTcp(0))
{
    m_reader->withModel([](readersim::ReaderModel &model) {
        model.active.period = demoReportPeriod;
        model.active.batch = demoReportBatch;
        model.enterActiveMode();
    });
}

CDemoReader::~CDemoReader() = default;
