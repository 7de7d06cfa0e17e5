#pragma once
// The fixed-size records of the URL table. TExtendUrlRec is also the on-disk record of the task
// file, so its layout is fixed byte for byte: packed, little-endian, 185 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace qm {

#pragma pack(push, 1)

// A length-prefixed string of at most 127 bytes in a 128-byte field.
struct TShortString127 {
  std::uint8_t Length;
  char Text[127];

  std::string Get() const { return std::string(Text, Length > 127 ? 127 : Length); }
  std::string_view View() const { return std::string_view(Text, Length > 127 ? 127 : Length); }
  // Stores text cut to 127 bytes; the unused bytes are zeroed so that saved files are stable.
  void Set(std::string_view text) {
    const std::size_t n = text.size() > 127 ? 127 : text.size();
    Length = static_cast<std::uint8_t>(n);
    std::memcpy(Text, text.data(), n);
    std::memset(Text + n, 0, 127 - n);
  }
};

struct TExtendUrlRec {
  TShortString127 Url;  // absolute URL, or host / path component of a directory node
  std::int32_t Status;  // TUrlStatus
  std::int32_t
      ContentKind;       // 0 page, 1 image, 2 program, 3 archive, 4 document, -1 other, 10 script
  std::int32_t Size;     // bytes of the fetched resource
  double FileTime;       // date-time of the resource (local time)
  std::int32_t Layer;    // link depth, 0 for the start page
  std::int32_t ReferId;  // record whose page held the link; the start record refers to itself
  std::int32_t RedirectId;  // record this URL was redirected to, -1 none
  std::uint8_t OwnBase;     // 1: links inside resolve against its own URL; 0: against ReferId's
  std::int32_t Kind;        // 1 URL entry, 0 directory node of the lookup tree
  std::int32_t ParentId;    // lookup tree links
  std::int32_t NextId;
  std::int32_t PrevId;
  std::int32_t FirstChildId;
  std::int32_t LastChildId;
};

// An admitted directory of the Directory scope, as saved in the task file.
struct ExtraDirRec {
  TShortString127 Dir;    // SplitUrl dir form, no host
  std::uint8_t Selected;  // the user admitted this directory
};

#pragma pack(pop)

static_assert(sizeof(TShortString127) == 128);
static_assert(sizeof(TExtendUrlRec) == 185);
static_assert(offsetof(TExtendUrlRec, Url) == 0);
static_assert(offsetof(TExtendUrlRec, Status) == 128);
static_assert(offsetof(TExtendUrlRec, ContentKind) == 132);
static_assert(offsetof(TExtendUrlRec, Size) == 136);
static_assert(offsetof(TExtendUrlRec, FileTime) == 140);
static_assert(offsetof(TExtendUrlRec, Layer) == 148);
static_assert(offsetof(TExtendUrlRec, ReferId) == 152);
static_assert(offsetof(TExtendUrlRec, RedirectId) == 156);
static_assert(offsetof(TExtendUrlRec, OwnBase) == 160);
static_assert(offsetof(TExtendUrlRec, Kind) == 161);
static_assert(offsetof(TExtendUrlRec, ParentId) == 165);
static_assert(offsetof(TExtendUrlRec, NextId) == 169);
static_assert(offsetof(TExtendUrlRec, PrevId) == 173);
static_assert(offsetof(TExtendUrlRec, FirstChildId) == 177);
static_assert(offsetof(TExtendUrlRec, LastChildId) == 181);
static_assert(sizeof(ExtraDirRec) == 129);

// A zero-filled record.
inline TExtendUrlRec EmptyUrlRec() {
  TExtendUrlRec r;
  std::memset(&r, 0, sizeof r);
  return r;
}

// Storage of the URL table. The table grows in steps of thousands of slots, of which a run often
// uses a fraction: the slots come zeroed from calloc, which leaves pages fresh from the system
// unwritten, and making a slot without a value writes only where the slot is not zero already
// (reading a never-written page costs no memory). Unused slots thus cost address space only.
template <class T>
struct TZeroedAllocator {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
  using value_type = T;
  TZeroedAllocator() = default;
  template <class U>
  TZeroedAllocator(const TZeroedAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* block = std::calloc(n, sizeof(T));
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { std::free(block); }

  // A value-initialised slot is a zeroed one (a slot given up by a shrink may hold old bytes).
  template <class U>
  void construct(U* slot) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(slot);
    for (std::size_t i = 0; i < sizeof(U); ++i) {
      if (bytes[i] != 0) {
        std::memset(static_cast<void*>(slot), 0, sizeof(U));
        return;
      }
    }
  }
  template <class U, class... Args>
  void construct(U* slot, Args&&... args) {
    ::new (static_cast<void*>(slot)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const TZeroedAllocator&, const TZeroedAllocator&) { return true; }
};

using TUrlTable = std::vector<TExtendUrlRec, TZeroedAllocator<TExtendUrlRec>>;

// Per-entry flags, parallel to the URL table; never saved.
struct UrlFlagRec {
  std::uint8_t Checked = 0;     // a worker sent the header request / took it up since loading
  std::uint8_t HasCookies = 0;  // Cookies holds a value
  std::string Cookies;          // cookie text received for this URL
};

// URL status values.
enum TUrlStatus : std::int32_t {
  NotDownloaded = 0,
  Downloaded = 1,
  Saved = 3,
  DownloadError = 4,
  ErrorButOk = 5,
  InProgress = 6,
  Interrupted = 8,
  Redirected = 9,
  AnalysisError = 10,
};

// The word the URL list shows for a status.
std::string_view StatusWord(std::int32_t status);

// Task states and run modes.
enum TTaskState : std::int32_t { Running = 0, Paused = 1, Stopped = 2, Complete = 3 };
enum TRunMode : std::int32_t {
  RunNormal = 0,
  RunUpdate = 1,
  RunRepair = 2,
  RunRestart = 3,
  RunHold = 4
};
// Download scope and content settings.
enum TScope : std::int32_t { ScopeSite = 0, ScopeHost = 1, ScopeDirectory = 2 };
enum TContent : std::int32_t {
  ContentPagesAndImages = 1,
  ContentPagesOnly = 0,
  ContentEverything = -1
};

}  // namespace qm
