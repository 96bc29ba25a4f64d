// Parameter records of a handle's reader by field name: read as one JSON object, changed by
// "name=value" lines. The record tables of the reader model say where each field lies.
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

}  // namespace qn::handle
