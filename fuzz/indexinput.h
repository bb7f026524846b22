// The compact form in which the index target takes an index header: the slot entries
// that have a list and the block chain, expanded into the 1,400,000-byte tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vyn::fuzz {

// entries: 12 bytes each, slot (taken modulo 100,000), first block, last document;
// chain: the raw bytes after the tables. Every slot not named has no list.
std::string ExpandHeader(std::string_view entries, std::string_view chain);

// The reverse, for seeds: the entries of every slot with a list, then the chain.
void CompactHeader(std::string_view header, std::string& entries, std::string& chain);

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset);

}  // namespace vyn::fuzz
