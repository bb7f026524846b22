// The text of one query word before it is searched: wildcards, "*" runs and the
// characters without an index slot.
#pragma once

#include <string>
#include <string_view>

namespace vyn {

// "?" and "？" stand for one character.
inline bool IsOneCharWildcard(char16_t unit) { return unit == u'?' || unit == u'？'; }

// Leading "*" dropped, each run of "*" collapsed into one, one "*" at the end.
std::u16string NormaliseStars(std::u16string_view word);

// True when the normalised word and its terminator fit the working capacity
// (CIndex::kWordCapacity).
bool FitsWorkingArrays(std::u16string_view word);

// Removes every character without a slot (a surrogate pair is one character); "?",
// "？" and "*" stay.
void DropUnindexed(std::u16string& word);

}  // namespace vyn
