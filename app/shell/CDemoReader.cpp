#include "shell/CDemoReader.h"

#include "virtual_reader.h"

CDemoReader::CDemoReader()
    : m_reader(std::make_unique<readersim::VirtualReader>(readersim::ReaderOptions{.family = "fir"}))
    , m_port(m_reader->serveTcp(0))
{
}

CDemoReader::~CDemoReader() = default;
