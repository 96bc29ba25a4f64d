#include "shell/CDemoReader.h"

#include "virtual_reader.h"

namespace
{
// The demo runs as long as the program: keep only the newest requests, not every one.
constexpr size_t requestsKept = 1000;
}

CDemoReader::CDemoReader()
    : m_reader(std::make_unique<readersim::VirtualReader>(
          readersim::ReaderOptions{
          .family = "fir", .livelyField = true, .requestLogLimit = requestsKept}))
    , m_port(m_reader->serveTcp(0))
{
}

CDemoReader::~CDemoReader() = default;
