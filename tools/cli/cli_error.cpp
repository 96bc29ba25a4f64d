#include "cli_error.h"

#include <algorithm>
#include <cstdio>

#include "session.h"

namespace cli {

void usageError(const std::string &message) {
    throw Failure(kUsage, message);
}

void readerFailed(const std::string &what) {
    if (Session *session = Session::current()) session->failed(what);
    throw Failure(kReaderFailed, what + ": the reader refused or did not answer");
}

void printError(const std::string &message) {
    std::string line = message;
    // Multi-line texts (CLI11's own among them) become one line, so scripts read one error.
    std::replace(line.begin(), line.end(), '\n', ' ');
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::fprintf(stderr, "tagbench-cli: %s\n", line.c_str());
}

}  // namespace cli
