// The gateway's log: one time-stamped line per event, on stderr or in a file that SIGHUP
// reopens (so logrotate can move it away). Safe from any thread.
#pragma once

#include <string>

namespace gateway::log {

// Empty path: stderr. False when the file cannot be opened (the log stays where it was).
bool open(const std::string &path);
// Opens the same file again; nothing for stderr.
void reopen();
void line(const std::string &text);

}  // namespace gateway::log
