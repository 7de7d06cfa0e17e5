#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace qm {

// The time a "Last-Modified" style date names, in seconds since 1970 UTC, or -1 when the text
// is no date. Servers send the fixed form "Sun, 06 Nov 1994 08:49:37 GMT", which is read
// directly; every other form goes to libcurl's reader, which knows the older ones.
std::time_t HttpDateToUnix(const std::string& text);

// The fixed form alone: true and `t` set when `text` is exactly that form with a real calendar
// date from 1970 on; false for anything the general reader has to judge.
bool ParseFixedHttpDate(std::string_view text, std::time_t& t);

}  // namespace qm
