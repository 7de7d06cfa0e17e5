#pragma once
// Helpers for the category tree tests: a recording tree view, a tree built from a short outline,
// the tree read back as an outline, and a check of every structural rule of the tree.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "manager/DirUnit.h"
#include "support/TempDir.h"

namespace qm::test {

class RecordingDirView : public TDirView {
 public:
  struct Node {
    TDirNode Parent;
    std::string Text;
    int Image, SelectedImage;
  };
  void BeginUpdate() override { ++Begun; }
  void EndUpdate() override { ++Ended; }
  void Clear() override { Nodes.clear(), Expanded.clear(); }
  TDirNode AddNode(TDirNode parent, const std::string& text, int image, int selected) override {
    return &Nodes.emplace_back(Node{parent, text, image, selected});
  }
  void Expand(TDirNode node) override { Expanded.push_back(static_cast<Node*>(node)->Text); }

  // The nodes as "text/image/selected", children in brackets: "Quillmoss/0/0[A/0/0] ...".
  std::string Outline(TDirNode parent = nullptr) const {
    std::string out;
    for (const Node& node : Nodes) {
      if (node.Parent != parent) continue;
      out += (out.empty() ? "" : " ") + node.Text + "/" + std::to_string(node.Image) + "/" +
             std::to_string(node.SelectedImage);
      const std::string below = Outline(const_cast<Node*>(&node));
      if (!below.empty()) out += "[" + below + "]";
    }
    return out;
  }

  std::deque<Node> Nodes;
  std::vector<std::string> Expanded;
  int Begun = 0, Ended = 0;
};

// Adds the items of `outline` below `parent`: names separated by blanks, children in brackets;
// a name starting with a capital letter is a category, any other a task.
inline void Build(TDir& dir, std::string_view outline, std::int32_t parent = RootItem) {
  std::vector<std::int32_t> owners{parent};
  std::int32_t last = -1;
  std::string name;
  for (std::size_t i = 0; i <= outline.size(); ++i) {
    const char c = i < outline.size() ? outline[i] : ' ';
    if (c != ' ' && c != '[' && c != ']') {
      name += c;
      continue;
    }
    if (!name.empty()) {
      TDirItem item;
      item.Name = name;
      item.Type = (name[0] >= 'A' && name[0] <= 'Z') ? ItemCategory : ItemTask;
      if (item.Type == ItemTask) item.Path = "C:\\Websites\\", item.FileName = name + ".web";
      last = dir.AddItem(owners.back(), item);
      ASSERT_GE(last, 0) << name;
      name.clear();
    }
    if (c == '[') owners.push_back(last);
    if (c == ']') owners.pop_back();
  }
}

inline std::int32_t Find(const TDir& dir, std::string_view name) {
  for (std::size_t i = 0; i < dir.Items.size(); ++i)
    if (dir.Items[i].Name == name) return static_cast<std::int32_t>(i);
  return -1;
}

// The tree as Build's outline, walked through the links (both top-level items shown).
inline std::string Shape(const TDir& dir, std::int32_t parent = -1) {
  std::string out;
  std::int32_t child = parent == -1 ? RootItem : dir.Items[parent].SonFirst;
  for (std::size_t guard = 0; child != -1 && guard <= dir.Items.size(); ++guard) {
    out += (out.empty() ? "" : " ") + dir.Items[child].Name;
    if (dir.Items[child].SonFirst != -1) out += "[" + Shape(dir, child) + "]";
    child = dir.Items[child].Next;
  }
  return out;
}

// Every link and mark of every item, to show that an operation changed nothing.
inline std::string Links(const TDir& dir) {
  std::string out = std::to_string(dir.DeletedCount);
  for (const TDirItem& i : dir.Items)
    for (int v : {i.Type, int(i.Deleted), i.Parent, i.Next, i.Previous, i.SonFirst, i.SonEnd})
      out += "," + std::to_string(v);
  return out;
}

// Every rule of a sound tree; items no chain reaches must be removed ones.
inline ::testing::AssertionResult TreeIsSound(const TDir& dir) {
  const auto& items = dir.Items;
  auto fail = [](std::int32_t i, const char* what) {
    return ::testing::AssertionFailure() << "item " << i << ": " << what;
  };
  if (items.size() < 2) return fail(-1, "fewer than two items");
  const TDirItem &root = items[0], &bin = items[1];
  if (root.Type != ItemCategory || root.Parent != -1 || root.Previous != -1 || root.Next != 1)
    return fail(0, "not the root");
  if (bin.Type != ItemRecycleBin || bin.Parent != -1 || bin.Previous != 0 || bin.Next != -1)
    return fail(1, "not the recycle bin");
  std::vector<char> seen(items.size(), 0);
  std::vector<std::int32_t> owners{0, 1};
  while (!owners.empty()) {
    const std::int32_t owner = owners.back();
    owners.pop_back();
    std::int32_t previous = -1;
    for (std::int32_t c = items[owner].SonFirst; c != -1; previous = c, c = items[c].Next) {
      if (!dir.Valid(c) || c < 2 || seen[c]) return fail(c, "bad or repeated link");
      seen[c] = 1;
      const TDirItem& item = items[c];
      if (item.Parent != owner || item.Previous != previous) return fail(c, "wrong back link");
      if (item.Type == ItemTask && (item.SonFirst != -1 || item.SonEnd != -1))
        return fail(c, "task with children");
      if (item.Type != ItemTask && (owner == 1 || item.Type != ItemCategory))
        return fail(c, "wrong type for its place");
      if (item.Type == ItemCategory) owners.push_back(c);
    }
    if (items[owner].SonEnd != previous) return fail(owner, "SonEnd is not the chain end");
  }
  std::int32_t removed = 0;
  for (std::size_t i = 2; i < items.size(); ++i)
    if (!seen[i] && (++removed, !items[i].Deleted)) return fail(i, "unreachable, not removed");
  if (dir.DeletedCount < removed) return fail(-1, "DeletedCount below the removed items");
  return ::testing::AssertionSuccess();
}

// A tree on a "Dir.ini" in a fresh folder.
class DirTest : public ::testing::Test {
 protected:
  std::string File() const { return (folder.Path() / "Dir.ini").string(); }
  TDir Reloaded() const {
    TDir again(File());
    again.LoadDir();
    return again;
  }
  // The saved file loaded and saved again elsewhere: a sound tree comes back unchanged.
  std::string LoadedAndSavedAgain() const {
    const std::string copy = File() + ".again";
    std::filesystem::copy_file(File(), copy);
    TDir again(copy);
    again.LoadDir();
    std::filesystem::remove(copy);
    again.SaveDir();
    return ReadFileBytes(copy);
  }

  TempDir folder;
  TDir dir{File()};
  RecordingDirView view;
};

}  // namespace qm::test
