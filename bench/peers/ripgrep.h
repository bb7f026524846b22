// The ripgrep peer and the process runner of the harness.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/peers/peerquery.h"

namespace vyn::peers {

// The regex of one word: characters as themselves, alternatives as a class, "?" as
// one character other than the run separator, the gap around "*" as a bounded run
// of such characters. Empty for a word without parts.
std::string RipgrepPattern(const PeerWord& word);

// The rg command lines that find the query in textPath, meant to be run as a
// pipeline: "or" is one alternation, "and" filters the matching lines of the first
// word by each later word. The last stage counts lines (countOnly) or prints them
// with the line number of the first stage. Empty when no page can match.
std::vector<std::vector<std::string>> RipgrepPipeline(const PeerQuery& query,
                                                      const std::string& textPath, bool countOnly);

// Runs commands as a pipeline (stdout of each into stdin of the next). The last
// stage's stdout goes to output when given, else to /dev/null. Returns the wall time
// in seconds, or a negative value when a stage cannot be started or dies by a signal.
double RunPipeline(const std::vector<std::vector<std::string>>& commands, std::string* output);

// Pages (0-based line numbers) of the lines printed by a pipeline with
// countOnly false, ascending.
std::vector<std::uint32_t> PagesOfNumberedLines(const std::string& output);

}  // namespace vyn::peers
