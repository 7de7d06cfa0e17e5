#include "manager/DirUnit.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/ConfigPaths.h"
#include "platform/IniFile.h"

namespace qm {
namespace {

constexpr std::string_view kHeaderSection = "Quillmoss";
constexpr const char* kRootName = "Quillmoss";
constexpr const char* kRecycleBinName = "回收站";

std::string UserDirFile() {
  return UserConfigFile("Dir.ini");
}

std::string ItemSection(std::size_t index) {
  return "Item" + std::to_string(index);
}

bool ValidIn(const TDirItemList& items, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

// An INI value holds one line, so control characters inside a name become blanks.
std::string BlankControls(std::string text) {
  for (char& c : text)
    if (IsControl(c)) c = ' ';
  return text;
}

// The N of a section named "ItemN" as SaveDir writes it (letter case ignored, like the INI
// lookups), else -1.
std::int32_t ItemNumberOf(std::string_view name) {
  constexpr std::string_view prefix = "item";
  if (name.size() <= prefix.size()) return -1;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if ((name[i] | 0x20) != prefix[i]) return -1;
  const std::string_view digits = name.substr(prefix.size());
  if (digits[0] < '0' || digits[0] > '9' || (digits[0] == '0' && digits.size() > 1)) return -1;
  std::int32_t n = -1;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return ec == std::errc() && end == digits.data() + digits.size() ? n : -1;
}

// True when the item sits in its parent's chain. A removed item keeps its link fields, but its
// former neighbours no longer point to it.
bool InChain(const TDirItemList& items, std::int32_t index) {
  const TDirItem& item = items[index];
  if (!ValidIn(items, item.Parent)) return false;
  if (item.Previous == -1) return items[item.Parent].SonFirst == index;
  return ValidIn(items, item.Previous) && items[item.Previous].Next == index;
}

// Whether `parent` may hold `item` as a child: categories hold categories and tasks, the recycle
// bin tasks only.
bool Fits(const TDirItemList& items, std::int32_t parent, std::int32_t item) {
  if (!ValidIn(items, parent) || !ValidIn(items, item) || item <= RecycleBinItem) return false;
  const std::int32_t type = items[item].Type;
  switch (items[parent].Type) {
    case ItemCategory:
      return type == ItemCategory || type == ItemTask;
    case ItemRecycleBin:
      return type == ItemTask;
    default:
      return false;
  }
}

// Fits, and `parent` is not `item` itself or below it.
bool CanHold(const TDirItemList& items, std::int32_t parent, std::int32_t item) {
  if (!Fits(items, parent, item)) return false;
  std::size_t steps = 0;
  for (std::int32_t up = parent; ValidIn(items, up) && steps <= items.size();
       up = items[up].Parent, ++steps)
    if (up == item) return false;
  return true;
}

// Links `item` as the last child of `parent`, without checks.
void Link(TDirItemList& items, std::int32_t parent, std::int32_t item) {
  TDirItem& child = items[item];
  TDirItem& owner = items[parent];
  child.Parent = parent;
  child.Next = -1;
  child.Previous = -1;
  if (owner.SonFirst == -1 || !ValidIn(items, owner.SonEnd)) {
    owner.SonFirst = item;
  } else {
    items[owner.SonEnd].Next = item;
    child.Previous = owner.SonEnd;
  }
  owner.SonEnd = item;
}

// One level of a depth-first walk: whose chain, and the next child to take in it.
struct TWalkFrame {
  std::int32_t Owner;
  std::int32_t Next;
};

// Reads the items of "Dir.ini" and rebuilds every chain from the SonFirst and Next links, so
// that a damaged or hand-edited file still gives a sound tree. Items only get array slots for
// the sections that exist, so the size follows the file, whatever its Length says.
bool ReadItems(const TIniFile& ini, TDirItemList& items, std::int32_t& deletedCount) {
  const std::int32_t length = ini.ReadInteger(kHeaderSection, "Length", 0);
  std::vector<std::int32_t> numbers;  // section numbers of the items after the first two
  std::int32_t highest = -1;
  for (const std::string& name : ini.SectionNames()) {
    const std::int32_t n = ItemNumberOf(name);
    if (n < 0 || n >= length) continue;
    highest = std::max(highest, n);
    if (n > RecycleBinItem) numbers.push_back(n);
  }
  if (highest < RecycleBinItem) return false;
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

  // A link to a section that does not exist counts as out of range.
  const auto slotOf = [&numbers](std::int32_t n) -> std::int32_t {
    if (n == RootItem || n == RecycleBinItem) return n;
    const auto it = std::lower_bound(numbers.begin(), numbers.end(), n);
    if (it == numbers.end() || *it != n) return -1;
    return static_cast<std::int32_t>(it - numbers.begin()) + 2;
  };

  const std::size_t size = numbers.size() + 2;
  items.assign(size, TDirItem{});
  std::vector<std::int32_t> firstChild(size), nextSibling(size);
  for (std::size_t slot = 0; slot < size; ++slot) {
    const std::string section =
        ItemSection(slot < 2 ? slot : static_cast<std::size_t>(numbers[slot - 2]));
    TDirItem& item = items[slot];
    item.Name = ini.ReadString(section, "Name", "");
    const std::int32_t type = ini.ReadInteger(section, "Type", ItemCategory);
    item.Type = slot == RootItem         ? ItemCategory
                : slot == RecycleBinItem ? ItemRecycleBin
                : type == ItemTask       ? ItemTask
                                         : ItemCategory;
    item.Expand = ini.ReadBool(section, "Expand", false);
    firstChild[slot] = slotOf(ini.ReadInteger(section, "SonFirst", -1));
    nextSibling[slot] = slotOf(ini.ReadInteger(section, "Next", -1));
    if (item.Type == ItemTask) {
      item.Path = ini.ReadString(section, "Path", "");
      item.FileName = ini.ReadString(section, "FileName", "");
      item.StartURL = ini.ReadBytes(section, "StartURL", "");
    }
  }
  if (items[RootItem].Name.empty()) items[RootItem].Name = kRootName;
  if (items[RecycleBinItem].Name.empty()) items[RecycleBinItem].Name = kRecycleBinName;

  // The chains as walked win over the stored Parent, Previous and SonEnd fields. A chain ends at
  // a link out of range or to an item already met (cycles, items linked twice).
  std::vector<char> visited(size, 0), inTree(size, 0);
  visited[RootItem] = visited[RecycleBinItem] = 1;
  std::vector<TWalkFrame> frames{{RecycleBinItem, firstChild[RecycleBinItem]},
                                 {RootItem, firstChild[RootItem]}};
  while (!frames.empty()) {
    TWalkFrame& frame = frames.back();
    const std::int32_t child = frame.Next;
    if (child < 0 || visited[child]) {
      frames.pop_back();
      continue;
    }
    visited[child] = 1;
    frame.Next = nextSibling[child];
    const std::int32_t owner = frame.Owner;
    if (items[owner].Type == ItemRecycleBin && items[child].Type != ItemTask) continue;
    Link(items, owner, child);
    inTree[child] = 1;
    if (items[child].Type == ItemCategory) frames.push_back({child, firstChild[child]});
  }
  items[RootItem].Next = RecycleBinItem;
  items[RecycleBinItem].Previous = RootItem;

  // A task no chain reaches stays visible in the recycle bin; anything else is a removed item
  // that the next compaction drops.
  std::int64_t deleted =
      std::max<std::int32_t>(ini.ReadInteger(kHeaderSection, "DeletedCount", 0), 0);
  for (std::size_t slot = 2; slot < size; ++slot) {
    if (inTree[slot]) continue;
    if (items[slot].Type == ItemTask) {
      Link(items, RecycleBinItem, static_cast<std::int32_t>(slot));
    } else {
      items[slot].Deleted = true;
      ++deleted;
    }
  }
  deletedCount = static_cast<std::int32_t>(std::min<std::int64_t>(deleted, INT32_MAX));
  return true;
}

}  // namespace

std::string DefaultDirFile() {
  const std::string exe = ExecutablePath();
  const std::string beside =
      exe.empty() ? exe : (std::filesystem::path(exe).parent_path() / "Dir.ini").string();
  return ChooseConfigFile(beside, UserDirFile());
}

TDir::TDir(std::string fileName) : fileName_(std::move(fileName)) {
  ResetTree();
}

void TDir::ResetTree() {
  Items.assign(2, TDirItem{});
  TDirItem& root = Items[RootItem];
  root.Name = kRootName;
  root.Type = ItemCategory;
  root.Next = RecycleBinItem;
  TDirItem& bin = Items[RecycleBinItem];
  bin.Name = kRecycleBinName;
  bin.Type = ItemRecycleBin;
  bin.Previous = RootItem;
  DeletedCount = 0;
}

std::int32_t TDir::AppendChild(std::int32_t parent, std::int32_t item) {
  if (!CanHold(Items, parent, item) || InChain(Items, item)) return -1;
  Link(Items, parent, item);
  return item;
}

std::int32_t TDir::AddItem(std::int32_t parent, const TDirItem& record) {
  Items.push_back(record);
  TDirItem& added = Items.back();
  added.Parent = added.Next = added.Previous = added.SonFirst = added.SonEnd = -1;
  const auto index = static_cast<std::int32_t>(Items.size() - 1);
  if (!Fits(Items, parent, index)) {  // a new item has nothing below it
    Items.pop_back();
    return -1;
  }
  Link(Items, parent, index);
  return index;
}

void TDir::Unlink(std::int32_t item, bool mark) {
  if (!Valid(item) || item <= RecycleBinItem || !InChain(Items, item)) return;
  TDirItem& a = Items[item];
  if (mark) {
    a.Deleted = true;
    ++DeletedCount;
  }
  TDirItem& owner = Items[a.Parent];
  if (a.Previous != -1)
    Items[a.Previous].Next = a.Next;
  else
    owner.SonFirst = a.Next;
  if (Valid(a.Next))
    Items[a.Next].Previous = a.Previous;
  else
    owner.SonEnd = a.Previous;
}

void TDir::DeleteTask(std::int32_t item) {
  if (!Valid(item) || Items[item].Type != ItemTask || !InChain(Items, item)) return;
  const bool inRecycleBin = Items[item].Parent == RecycleBinItem;
  Unlink(item, true);
  if (!inRecycleBin) Link(Items, RecycleBinItem, item);
}

void TDir::DeleteCategory(std::int32_t item, bool toRecycleBin) {
  if (!Valid(item) || item <= RecycleBinItem || Items[item].Type != ItemCategory ||
      !InChain(Items, item))
    return;
  const std::int32_t target = toRecycleBin ? RecycleBinItem : Items[item].Parent;
  std::vector<char> seen(Items.size(), 0);
  seen[item] = 1;
  // Each child's Next is taken before the child is handled: moving a task relinks it.
  std::vector<TWalkFrame> frames{{item, Items[item].SonFirst}};
  while (!frames.empty()) {
    TWalkFrame& frame = frames.back();
    const std::int32_t child = frame.Next;
    if (!Valid(child) || seen[child]) {
      const std::int32_t category = frame.Owner;
      frames.pop_back();
      Unlink(category, true);
      continue;
    }
    seen[child] = 1;
    frame.Next = Items[child].Next;
    if (Items[child].Type == ItemCategory) {
      frames.push_back({child, Items[child].SonFirst});
    } else {
      Unlink(child, true);
      if (Fits(Items, target, child)) Link(Items, target, child);
    }
  }
}

void TDir::EmptyRecycleBin() {
  for (std::size_t left = Items.size(); left > 0; --left) {
    const std::int32_t first = Items[RecycleBinItem].SonFirst;
    if (first == -1) break;
    Unlink(first, true);
    if (Items[RecycleBinItem].SonFirst == first) break;  // not a sound chain: leave it
  }
}

bool TDir::RenameItem(std::int32_t item, std::string& text) {
  if (!Valid(item)) return false;
  const auto blank = [](char c) { return c == ' ' || IsControl(c); };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  text = first < last ? BlankControls(std::string(first, last)) : std::string();
  if (text.empty()) {
    text = Items[item].Name;
    return false;
  }
  Items[item].Name = text;
  return true;
}

void TDir::MoveItem(TDirNode target, TDirNode moved) {
  const std::int32_t item = IndexOfNode(moved);
  const std::int32_t parent = IndexOfNode(target);
  if (item < 0 || parent < 0 || !InChain(Items, item) || !CanHold(Items, parent, item)) return;
  Unlink(item, false);
  Link(Items, parent, item);
  Items[parent].Expand = true;
  FillView();
}

void TDir::FillView() {
  for (TDirItem& item : Items) item.Node = nullptr;
  if (!View || Items.size() < 2) return;
  View->Clear();
  View->BeginUpdate();
  std::vector<char> shown(Items.size(), 0);
  shown[RootItem] = shown[RecycleBinItem] = 1;
  std::vector<TWalkFrame> frames;
  const auto addChildren = [&](std::int32_t top) {
    frames.push_back({top, Items[top].SonFirst});
    while (!frames.empty()) {
      TWalkFrame& frame = frames.back();
      const std::int32_t child = frame.Next;
      if (!Valid(child) || shown[child]) {
        frames.pop_back();
        continue;
      }
      shown[child] = 1;
      frame.Next = Items[child].Next;
      TDirItem& c = Items[child];
      c.Node = View->AddNode(Items[frame.Owner].Node, c.Name, c.Type, c.Type);
      if (c.Type == ItemCategory && c.SonFirst != -1) frames.push_back({child, c.SonFirst});
    }
  };
  Items[RootItem].Node = View->AddNode(nullptr, Items[RootItem].Name, 0, 0);
  addChildren(RootItem);
  Items[RecycleBinItem].Node = View->AddNode(nullptr, Items[RecycleBinItem].Name, 2, 2);
  addChildren(RecycleBinItem);
  for (const TDirItem& item : Items)
    if (item.Node && item.Expand && !item.Deleted) View->Expand(item.Node);
  View->EndUpdate();
}

std::int32_t TDir::IndexOfNode(TDirNode node) const {
  if (!node) return -1;
  for (std::size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Node == node) return static_cast<std::int32_t>(i);
  return -1;
}

void TDir::Compact() {
  const TDirItemList old = std::move(Items);
  ResetTree();
  if (old.size() < 2) return;
  Items[RootItem].Expand = old[RootItem].Expand;
  Items[RecycleBinItem].Expand = old[RecycleBinItem].Expand;
  std::vector<char> seen(old.size(), 0);
  seen[RootItem] = seen[RecycleBinItem] = 1;
  // Owner is the new index of the category whose old chain is being copied.
  std::vector<TWalkFrame> frames;
  for (const std::int32_t top : {RootItem, RecycleBinItem}) {
    frames.push_back({top, old[top].SonFirst});
    while (!frames.empty()) {
      TWalkFrame& frame = frames.back();
      const std::int32_t child = frame.Next;
      if (!ValidIn(old, child) || seen[child]) {
        frames.pop_back();
        continue;
      }
      seen[child] = 1;
      frame.Next = old[child].Next;
      const std::int32_t copy = AddItem(frame.Owner, old[child]);
      if (copy >= 0 && old[child].Type == ItemCategory)
        frames.push_back({copy, old[child].SonFirst});
    }
  }
}

void TDir::SaveDir() {
  if (fileName_ == UserDirFile()) {
    std::error_code ec;  // a failure shows as the write error below
    std::filesystem::create_directories(std::filesystem::path(fileName_).parent_path(), ec);
  }
  // A file that cannot even be read cannot be written without losing what it holds.
  std::optional<TIniFile> ini;
  try {
    ini.emplace(fileName_);
  } catch (const EIniFileException&) {
    throw EIniFileException("Unable to write to " + fileName_);
  }
  ini->SetDeferredWrites(true);
  ini->WriteString(kHeaderSection, "Version", "1.0");
  ini->WriteInteger(kHeaderSection, "Length", static_cast<std::int32_t>(Items.size()));
  ini->WriteInteger(kHeaderSection, "DeletedCount", DeletedCount);
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const TDirItem& item = Items[i];
    const std::string section = ItemSection(i);
    ini->WriteString(section, "Name", BlankControls(item.Name));
    ini->WriteInteger(section, "Type", item.Type);
    ini->WriteBool(section, "Expand", item.Expand);
    ini->WriteInteger(section, "Parent", item.Parent);
    ini->WriteInteger(section, "Next", item.Next);
    ini->WriteInteger(section, "Previous", item.Previous);
    ini->WriteInteger(section, "SonFirst", item.SonFirst);
    ini->WriteInteger(section, "SonEnd", item.SonEnd);
    if (item.Type == ItemTask) {
      ini->WriteString(section, "Path", item.Path);
      ini->WriteString(section, "FileName", item.FileName);
      ini->WriteBytes(section, "StartURL", item.StartURL);
    }
  }
  ini->UpdateFile();
}

void TDir::LoadDir() {
  const TIniFile ini(fileName_);
  TDirItemList items;
  std::int32_t deletedCount = 0;
  if (!ReadItems(ini, items, deletedCount)) {
    ResetTree();
    return;
  }
  Items = std::move(items);
  DeletedCount = deletedCount;
}

}  // namespace qm
