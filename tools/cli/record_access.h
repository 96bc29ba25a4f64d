// The record commands of a reader handle as the program's profile steps take them.
#pragma once

#include "QnReader.h"
#include "shell/CProfileTransfer.h"

namespace cli {

// Reads and writes the device, network and special records of `reader`, which must stay
// open while the access is used.
deviceprofile::RecordAccess profileAccess(QnReader *reader);

}  // namespace cli
