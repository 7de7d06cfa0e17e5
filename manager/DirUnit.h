#pragma once
// The category tree: the user's filing system for tasks. A flat array of items linked by indices
// (item 0 the root category, item 1 the recycle bin), shown in a tree view and stored in
// "Dir.ini". Indices stay fixed while the program runs; removed items are only dropped, and the
// rest renumbered, by Compact at shutdown. Everything runs on the user interface thread.
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

inline constexpr std::int32_t ItemCategory = 0;
inline constexpr std::int32_t ItemTask = 1;
inline constexpr std::int32_t ItemRecycleBin = 2;

inline constexpr std::int32_t RootItem = 0;
inline constexpr std::int32_t RecycleBinItem = 1;

// A node of the tree view, as the view hands it out; null is no node.
using TDirNode = void*;

// The tree view the category tree fills (the window's left pane; a recorder in tests).
class TDirView {
 public:
  virtual ~TDirView() = default;
  // Suspends and resumes repainting around a refill.
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  virtual void Clear() = 0;
  // Adds a node below `parent` (null: a top-level node) and returns it.
  virtual TDirNode AddNode(TDirNode parent, const std::string& text, int image,
                           int selectedImage) = 0;
  virtual void Expand(TDirNode node) = 0;
};

struct TDirItem {
  std::string Name;
  std::int32_t Type = ItemCategory;
  bool Deleted = false;  // taken out of the tree by a deletion; never saved
  bool Expand = false;
  std::int32_t Parent = -1;
  std::int32_t Next = -1;
  std::int32_t Previous = -1;
  std::int32_t SonFirst = -1;
  std::int32_t SonEnd = -1;
  // Tasks only: the task file's folder (ending in "\"), its file name, the start URL (bytes).
  std::string Path;
  std::string FileName;
  std::string StartURL;
  TDirNode Node = nullptr;  // the view node showing the item; run-time only
};

using TDirItemList = std::vector<TDirItem>;

// "Dir.ini" in the executable's directory when that can be written, else in the user's
// configuration directory (quillmoss/Dir.ini below $XDG_CONFIG_HOME or ~/.config).
std::string DefaultDirFile();

class TDir {
 public:
  // The initial tree; `fileName` is the "Dir.ini" that LoadDir and SaveDir use.
  explicit TDir(std::string fileName = DefaultDirFile());

  TDirItemList Items;
  std::int32_t DeletedCount = 0;
  TDirView* View = nullptr;

  const std::string& FileName() const { return fileName_; }
  // True when `index` names an item of the array.
  bool Valid(std::int32_t index) const {
    return index >= 0 && static_cast<std::size_t>(index) < Items.size();
  }

  // The root "Quillmoss" and the recycle bin "回收站", both collapsed; DeletedCount 0.
  void ResetTree();
  // Links `item` as the last child of `parent`; returns `item`. An item that is still in a chain,
  // the root or the recycle bin, or a child the parent cannot hold (see the invariants of the
  // tree: categories hold categories and tasks, the recycle bin tasks, nothing goes below itself)
  // is refused with -1.
  std::int32_t AppendChild(std::int32_t parent, std::int32_t item);
  // Appends a copy of `record` (without children) as the last child of `parent`; its index, or -1
  // (nothing appended) when the parent cannot hold it.
  std::int32_t AddItem(std::int32_t parent, const TDirItem& record);
  // Takes the item out of its parent's chain; `mark` sets Deleted and counts the deletion. The
  // item keeps its own link fields. An item in no chain (and the root and recycle bin) is ignored.
  void Unlink(std::int32_t item, bool mark);
  // A task goes to the end of the recycle bin; one already there leaves the tree. The task file
  // stays on disk. Anything but a task in a chain is ignored.
  void DeleteTask(std::int32_t item);
  // Removes the category and every category below it; their tasks go, in depth-first order, to
  // the end of the recycle bin (toRecycleBin) or of the category's parent. Anything but a category
  // in a chain below the root is ignored.
  void DeleteCategory(std::int32_t item, bool toRecycleBin);
  // Removes every task in the recycle bin.
  void EmptyRecycleBin();
  // Trims `text` (blanks and control characters at both ends), turns the control characters left
  // inside into blanks (a name is one line of "Dir.ini") and writes it back. A non-empty result
  // becomes the item's name (true); otherwise `text` gets the old name back (false).
  bool RenameItem(std::int32_t item, std::string& text);
  // Makes the moved node's item the last child of the target node's item, expands the target and
  // refills the view. The caller refuses impossible moves; any that slip through do nothing.
  void MoveItem(TDirNode target, TDirNode moved);
  // Rebuilds the view from the items; without a view it only forgets the items' nodes.
  void FillView();
  // The item shown by `node`, -1 when none is.
  std::int32_t IndexOfNode(TDirNode node) const;
  // Renumbers the items reachable from the root and the recycle bin in depth-first order and
  // drops the rest (at shutdown, when DeletedCount > 0).
  void Compact();
  // Writes "Dir.ini" (keys in place; other sections and keys are kept) in one go. A file that
  // cannot be written raises EIniFileException("Unable to write to <file>") and stays as it was.
  void SaveDir();
  // Reads "Dir.ini"; a missing file or one with fewer than two items gives the initial tree. A
  // damaged or hand-edited file is repaired: the chains found by walking from the root and the
  // recycle bin (SonFirst, then Next, stopping at bad links, cycles and items met twice) make the
  // tree, tasks no chain reaches are put in the recycle bin, and other unreachable items are left
  // as removed items for the next compaction. A file that exists but cannot be read raises
  // EIniFileException and leaves the tree as it was.
  void LoadDir();

 private:
  std::string fileName_;
};

}  // namespace qm
