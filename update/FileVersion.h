#pragma once
// File versions on Linux: each of our executables carries a version record, the text
// "@(#)quillmoss file version a.b.c.d" ended by a NUL byte, in an ELF section of its own
// (".qm_version", see VersionRecord.cpp). It is found by searching the file's bytes, so the
// version of any file can be read, also of a build that was just downloaded and never ran.
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

inline constexpr std::string_view kVersionRecordMarker = "@(#)quillmoss file version ";

// The version words (major * 65536 + minor, release * 65536 + build) of the first well-formed
// record in the file. False, and the words left alone, when the file has none or cannot be read.
bool ReadVersionRecord(const std::string& path, std::uint32_t version[2]);
// The same over bytes already in memory.
bool FindVersionRecord(std::string_view bytes, std::uint32_t version[2]);

}  // namespace qm
