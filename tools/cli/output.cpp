#include "output.h"

#include <unistd.h>

#include <cstdio>

#include "cli_error.h"

namespace cli {

Format chooseFormat(const std::string &typed, bool json) {
    if (json && !typed.empty() && typed != "ndjson") {
        usageError("--json means --format ndjson; it does not go with --format " + typed);
    }
    if (typed == "table") return Format::Table;
    if (typed == "csv") return Format::Csv;
    if (typed == "ndjson" || json || !::isatty(STDOUT_FILENO)) return Format::Ndjson;
    return Format::Table;
}

void printLine(const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printDone(bool json) {
    if (json) printLine("{}");
}

}  // namespace cli
