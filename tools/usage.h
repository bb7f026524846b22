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
    "\n"
    "  --help  show this text\n";

}  // namespace vyn::tool
