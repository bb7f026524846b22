// The small corpus the fuzz targets are seeded from, built into data files by the
// builder.
#pragma once

#include <filesystem>

#include "builder/corpus.h"

namespace vyn::fuzz {

// Two categories, three books, volumes of several pages with annotations, characters
// of every slot range, and variant groups.
Corpus SeedCorpus();
// Three pages of few characters, so that its posting file stays a few blocks long.
Corpus TinyCorpus();

// Builds the corpus's data files into folder (created); aborts on failure.
void BuildSeedData(const std::filesystem::path& folder, const Corpus& corpus = SeedCorpus());

}  // namespace vyn::fuzz
