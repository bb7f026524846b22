// CIndex::WordPlan: what a word's search needs from its text.
#pragma once

#include <cstdint>
#include <vector>

#include "index/greedy.h"
#include "index/index.h"

namespace vyn {

struct CIndex::WordPlan {
    std::vector<std::int32_t> slots;  // per searched character, in word order
    std::vector<std::uint32_t> queryPos;
    std::vector<Segment> segments;
    std::uint32_t n = 0;       // characters and "?" of the word
    bool searchable = false;  // a searched character, and a list for each
};

}  // namespace vyn
