// A handle's reader through the model's record steps: parameter records by field name and
// device profile files, so the handle API does what tagbench-cli and the program do.
#pragma once

#include <cstdint>
#include <string>

#include "link.h"

namespace qn::handle {

// The record's fields for the reader's family as a JSON object; false when the record name
// is unknown or the reader does not answer.
bool readParams(Link &link, uint8_t addr, const std::string &record, std::string &json);

// Reads the record, changes the named fields and writes it back. False with the reason.
bool writeParams(Link &link, uint8_t addr, const std::string &record,
                 const std::string &assignments, std::string &reason);

// Reads every record the reader has and saves them as a device profile at path (replacing a
// file there only when overwrite). The one-line outcome or error goes to report.
bool exportProfile(Link &link, uint8_t addr, const std::string &path, bool overwrite,
                   std::string &report);
// Writes the records a device profile holds to the reader; the outcome or error to report.
bool importProfile(Link &link, uint8_t addr, const std::string &path, std::string &report);

}  // namespace qn::handle
