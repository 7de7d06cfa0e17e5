#pragma once
// The update list: the text file the update server offers at /update/xupdate.txt, the stamps
// (version and date) of the files it names, and the comparison that decides which are offered.
// Pure functions over the list text and the program's folder; no network, no window.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

namespace qm {

// A version or date of the update list that does not convert. The command stops with it.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Stamp of one file: name, version, date and where it comes from.
struct FileStampRec {
  static constexpr std::size_t kNameMax = 63;
  static constexpr std::size_t kUrlMax = 255;
  std::string StampName;  // at most kNameMax bytes
  // [0] = major * 65536 + minor, [1] = release * 65536 + build; both 0 without a version.
  std::uint32_t StampVersion[2] = {0, 0};
  TDateTime StampDate = 0;  // 0 for a missing file
  std::string StampUrl;     // at most kUrlMax bytes: the download address, or the name again
};

// One file offered by the update.
struct TUpdateList {
  std::string ItemName;    // as listed, relative to the program's folder (may hold "/")
  std::string TargetName;  // where the download is saved: ItemName with its last byte now "_"
  std::string Description;
  std::int32_t ContentSize = 0;  // the size the server announced for the file's address
  FileStampRec LocalInfo;
  FileStampRec RemoteInfo;
  std::uint8_t IsNewer = 0;    // newer than the local file, offered
  std::uint8_t IsFetched = 0;  // downloaded, waiting to be put in place
};

// The files of the last check.
inline std::vector<TUpdateList> UpdateItems;

// The text between the first occurrence of `open` and the first occurrence of `close` (exact,
// letter case counts). Empty when either is missing or `close` comes before the end of `open`.
std::string TextBetweenMarkers(std::string_view text, std::string_view open,
                               std::string_view close);

// A decimal integer (optional sign, 32 bits); anything else raises
// EConvertError("'<text>' is not a valid integer value").
std::int32_t StrToInt(std::string_view text);

// "a.b.c.d" into the two version words; empty text gives 0.0.0.0. A piece that is not a decimal
// integer raises EConvertError("'<piece>' is not a valid integer value").
void ParseVersion(std::string_view text, std::uint32_t version[2]);
// "a.b.c.d" of the two version words.
std::string FormatVersion(const std::uint32_t version[2]);

// The one short date format of update lists: "yyyy-mm-dd" (month and day may have one digit),
// read as midnight local time. Anything else raises EConvertError("'<text>' is not a valid date").
TDateTime ParseListDate(std::string_view text);
// "yyyy-mm-dd" of the date part.
std::string FormatListDate(TDateTime date);

// The stamp of `name` in `folder` (a native path ending in "/", or empty for the working
// directory; "\" in the name is a directory separator): the version record the file carries and
// its modification date, both 0 when the file is missing. StampName = name, StampUrl = second,
// each cut to its size.
FileStampRec ReadFileStamp(const std::string& name, const std::string& second,
                           const std::string& folder = "");

// The names of the list block for program `programName`; false when there is none.
bool ReadItemNames(std::string_view listText, std::string_view programName,
                   std::vector<std::string>& names);
// The section of `key` ("program/name", looked up in lower case) into `remote`'s version, date
// and address; false when the section is missing or empty. Conversion errors raise.
bool ReadItemSection(std::string_view listText, std::string_view key, FileStampRec& remote);
std::string ReadItemDescription(std::string_view listText, std::string_view key);

// Newer by version when the local file has one, else by date.
bool RemoteIsNewer(const FileStampRec& local, const FileStampRec& remote);

// A listed name the update may write: relative, inside the program's folder, usable in the
// replacement batch (not empty, no "..", no leading "/" or "\", no drive, no double quote or
// control byte, not a folder).
bool IsSafeItemName(std::string_view name);

// Fills UpdateItems from the list text for program `programName` (the executable's name without
// folder and extension), comparing with the files in `folder`. True when a file is newer. A list
// without names leaves UpdateItems as it was. Conversion errors raise EConvertError.
bool BuildUpdateList(std::string_view listText, std::string_view programName,
                     const std::string& folder = "");

// Every "/" replaced by "\".
std::string ToBackslashes(std::string_view text);
// ASCII lower case.
std::string LowerAscii(std::string_view text);

}  // namespace qm
