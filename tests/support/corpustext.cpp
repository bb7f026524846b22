#include "support/corpustext.h"

#include <utility>

namespace vyn::test {

Paragraph Para(std::string main, std::string note) {
    Paragraph p{{{TextRun::kMain, std::move(main)}}};
    if (!note.empty()) p.runs.push_back({TextRun::kNote, std::move(note)});
    return p;
}

}  // namespace vyn::test
