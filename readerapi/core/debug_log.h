// Diagnostics of the reader libraries: written to stderr only when QN_DEBUG is set, so an
// application that links the libraries stays silent unless asked.
#pragma once

namespace qn {

bool debugEnabled();
void debugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qn
