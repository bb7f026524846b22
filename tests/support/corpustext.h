// Test support: text of a corpus written by code.
#pragma once

#include <string>

#include "builder/corpus.h"

namespace vyn::test {

// A paragraph of main text followed, when note is not empty, by a note.
Paragraph Para(std::string main, std::string note = {});

}  // namespace vyn::test
