#include "shell/CDemoReader.h"

#include "virtual_reader.h"

namespace
{
// The demo runs as long as the program: keep only the newest requests, not every one.
constexpr size_t requestsKept = 1000;
}

CDemoReader::CDemoReader(const QString &family)
    : m_reader(std::make_unique<readersim::VirtualReader>(readersim::ReaderOptions{
          .family = family.isEmpty() ? std::string("fir") : family.toStdString(),
          .requestLogLimit = requestsKept}))
    , m_port(m_reader->serveTcp(0))
{
}

CDemoReader::~CDemoReader() = default;
