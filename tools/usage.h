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
    "\n"
    "  --help  show this text\n";

}  // namespace vyn::tool
