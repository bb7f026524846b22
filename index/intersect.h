// Meeting sorted document lists: the documents two ascending lists both hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "index/searchscratch.h"

namespace vyn {

// First index at or after `at` whose document is not below target; size when none.
std::size_t Seek(std::span<const std::uint32_t> docs, std::size_t at, std::uint32_t target);

// The indexes in a and in b of the documents both hold, ascending, in inA and inB.
// Both lists ascend without repeats. scratch's bits are all zero before and after.
void Intersect(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b,
               std::vector<std::uint32_t>& inA, std::vector<std::uint32_t>& inB,
               CPageBits& scratch);

}  // namespace vyn
