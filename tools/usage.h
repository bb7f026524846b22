// The text of vyn-tool --help.
#pragma once

namespace vyn::tool {

constexpr const char* kUsage =
    "usage: vyn-tool <command> [options]\n"
    "\n"
    "commands:\n"
    "  page --data DIR --record N\n"
    "      Write the unmasked bytes of page record N (0-based) of the text store in DIR\n"
    "      (Index-fl.h, Index-fl.cnt) to stdout. Exit 2 when N is not a record of the\n"
    "      store or the store cannot be opened.\n"
    "  find --data DIR --start S --number P\n"
    "      Print the index of the first record at or after record S whose name carries\n"
    "      page number P. Exit 1 when there is none.\n"
    "  build --source SRC --out DIR\n"
    "      Read the corpus source in SRC (catalog.txt, the volume files it names and\n"
    "      the optional variants.txt) and write every data file into DIR, created if\n"
    "      missing. The files are built in a temporary folder beside DIR and moved\n"
    "      into it only when all succeeded, so a failed build leaves DIR as it was.\n"
    "      Exit 2 on a failed build, with the file and line at fault on stderr.\n"
    "  search --data DIR [--or] [--part P] [--no-variants] [--] QUERY...\n"
    "      Search the index of part P (whole, main or notes; default whole) in DIR, all\n"
    "      words (default) or any word (--or), with variant characters folded together\n"
    "      unless --no-variants. Words may come as several arguments; they are joined\n"
    "      with spaces. In a word, ? stands for one character and * for up to 300\n"
    "      between the parts around it. Prints one line per page found: the page's\n"
    "      record index, a tab and its number of hits. Exit 1 for a query with no\n"
    "      searchable word.\n"
    "  render --data DIR --record N [--part P] [--no-variants] [--] KEYWORDS...\n"
    "      Write record N rebuilt as a result page, with every keyword marked in part P,\n"
    "      to stdout, and \"anchors: K\" (the number of hit anchors) as the last line on\n"
    "      stderr.\n"
    "\n"
    "  --help  show this text\n";

}  // namespace vyn::tool
