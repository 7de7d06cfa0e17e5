#pragma once
// The tag openings of a page text, found in one pass over it, so that each tag scan visits only
// the tags of its own kind instead of searching the whole page for its opening.
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace qm {

class TTagIndex {
 public:
  // The openings indexed, ASCII case ignored: every "<" of the text (kind 0) and the openings the
  // tag scans look for, each ending in its blank. None is a prefix of another.
  static constexpr std::array<std::string_view, 12> kOpenings = {
      "<",      "<img ",   "<image ",  "<input ", "<embed ", "<script ",
      "<link ", "<frame ", "<iframe ", "<meta ",  "<area ",  "<a "};
  static constexpr int kAnyTag = 0;

  // The kind of `opening` (ASCII case ignored), -1 when the index does not hold it.
  static int KindOf(std::string_view opening);

  // A change of the indexed text: old [OldFrom, OldTo) became new [NewFrom, NewTo).
  struct TEdit {
    std::size_t OldFrom, OldTo, NewFrom, NewTo;
  };

  // Indexes `text`, forgetting the text indexed before.
  void Build(std::string_view text);
  // Brings the index to `text`, which is the text indexed before with `edits` made (in text order,
  // not overlapping). Reads only the changed stretches; the positions of a kind are moved when
  // that kind is next asked for, so a kind no later scan wants costs nothing.
  void Update(std::string_view text, const std::vector<TEdit>& edits);
  // The 0-based positions of every occurrence of kOpenings[kind] in `text`, the text indexed, in
  // ascending order. Those of kind 0, which only a rare scan wants, are found at the first call.
  const std::vector<std::size_t>& Of(int kind, std::string_view text);

 private:
  // The named kind of the "<" at `lt`, -1 for none.
  static int NamedKindAt(std::string_view text, std::size_t lt);

  struct TFound {
    std::size_t Pos;
    int Kind;  // named kind, or -1
    std::size_t Edit;
  };
  // One Update's changes and the openings found in the changed stretches of its text.
  struct TBatch {
    std::vector<TEdit> Edits;
    std::vector<TFound> Found;
  };
  void Apply(std::size_t kind, const TBatch& batch);

  std::array<std::vector<std::size_t>, kOpenings.size()> at_;
  // The Updates since the last Build (the first batchCount_ of batches_, whose storage is kept),
  // and how many of them each kind's positions have been moved through.
  std::vector<TBatch> batches_;
  std::size_t batchCount_ = 0;
  std::array<std::size_t, kOpenings.size()> applied_{};
  std::vector<std::size_t> spare_;  // new positions of one kind, swapped in
  bool anyFound_ = false;           // at_[kAnyTag] holds the positions
};

}  // namespace qm
