// Writes tagbench-cli's completion script: its template with the field names of the parameter
// records put in, so that `params set` offers the names the record tables define: every name,
// and the names each family has (for --family).
//   tagbench-completion-fields TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "param_records.h"
#include "reader_family.h"

namespace {

using readerfamily::Family;

// The completion's record commands and the records they change.
struct RecordCommand {
    const char *command;
    const char *placeholder;
    const record::RecordTable *table;
};
const RecordCommand recordCommands[] = {{"params", "@DEVICE_FIELDS@", &record::deviceRecord},
                                        {"net", "@NETWORK_FIELDS@", &record::networkRecord},
                                        {"special", "@SPECIAL_FIELDS@", &record::specialRecord}};

void append(std::string &names, std::string_view name) {
    if (!names.empty()) names += ' ';
    names += name;
}

// Every name of the table, once, in table order (some names recur for other families).
std::string namesOf(const record::RecordTable &table) {
    std::set<std::string_view> seen;
    std::string names;
    for (const record::Field &field : table.fields) {
        if (seen.insert(field.name).second) append(names, field.name);
    }
    return names;
}

// The names the family has, as `get` prints them; none where it lacks the record.
std::string namesOf(const record::RecordTable &table, Family family) {
    std::string names;
    if (!record::planFor(table.name, family)) return names;
    for (const record::Field &field : table.fields) {
        if (record::find(table, field.name, family) == &field) append(names, field.name);
    }
    return names;
}

// Every family the model knows, in its order.
std::vector<Family> families() {
    std::vector<Family> all;
    for (int index = 0; index <= static_cast<int>(Family::Unknown); ++index)
        all.push_back(static_cast<Family>(index));
    return all;
}

// Entries of a bash associative array: ['FAMILY COMMAND']='NAMES', one a line.
std::string familyEntries() {
    std::string entries;
    for (const Family family : families()) {
        for (const RecordCommand &record : recordCommands) {
            entries += "    ['" + std::string(readerfamily::traitsOf(family).name) + " " +
                       record.command + "']='" + namesOf(*record.table, family) + "'\n";
        }
    }
    return entries;
}

std::string familyNames() {
    std::string names;
    for (const Family family : families()) append(names, readerfamily::traitsOf(family).name);
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
    for (const RecordCommand &record : recordCommands)
        replaceAll(text, record.placeholder, namesOf(*record.table));
    replaceAll(text, "@FAMILY_FIELDS@\n", familyEntries());
    replaceAll(text, "@FAMILY_NAMES@", familyNames());
    std::ofstream out(argv[2]);
    out << text;
    if (!out.flush()) {
        std::cerr << "cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
