// Writes tagbench-cli's completion script: its template with the field names of the parameter
// records put in, so that `params set` offers the names the record tables define.
//   tagbench-completion-fields TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <utility>

#include "param_records.h"

namespace {

// Every name of the table, once, in table order (some names recur for other families).
std::string namesOf(const record::RecordTable &table) {
    std::set<std::string_view> seen;
    std::string names;
    for (const record::Field &field : table.fields) {
        if (!seen.insert(field.name).second) continue;
        if (!names.empty()) names += ' ';
        names += field.name;
    }
    return names;
}

void replaceAll(std::string &text, const std::string &placeholder, const std::string &value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: tagbench-completion-fields TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in) {
        std::cerr << "cannot read " << argv[1] << '\n';
        return 1;
    }
    const std::pair<const char *, const record::RecordTable *> tables[] = {
        {"@DEVICE_FIELDS@", &record::deviceRecord},
        {"@NETWORK_FIELDS@", &record::networkRecord},
        {"@SPECIAL_FIELDS@", &record::specialRecord}};
    for (const auto &[placeholder, table] : tables) replaceAll(text, placeholder, namesOf(*table));
    std::ofstream out(argv[2]);
    out << text;
    if (!out.flush()) {
        std::cerr << "cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
