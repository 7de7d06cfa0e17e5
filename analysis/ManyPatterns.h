#pragma once
// Searching one text for many patterns at once, for pages whose scripts declare thousands of
// functions: one pass over the text per distinct pattern length instead of one per pattern.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::jstext {

// Every occurrence (overlapping ones included, ASCII letters compared without regard to case) of
// each pattern: hits[i] lists the offsets of patterns[i] in ascending order. False, with `hits`
// undefined, when the patterns have too many distinct lengths for one pass each to pay; the caller
// then searches for them one by one. Empty patterns have no occurrence.
bool FindAllNoCase(std::string_view text, const std::vector<std::string_view>& patterns,
                   std::vector<std::vector<std::size_t>>& hits);

// The same result as ReplaceAll(text, old, new) for each pair in turn (the first occurrence of
// `old` exact, the later ones without regard to case), in one pass over the text when no
// replacement can meet another: no two occurrences overlap and no pattern occurs where a new text
// is put in. Otherwise the replacements are made in turn.
std::string ReplaceAllInTurn(std::string_view text,
                             const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace qm::jstext
