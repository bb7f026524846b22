// vyn-tool: command-line access to the data files.
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "tools/toolcommon.h"
#include "tools/usage.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"page", vyn::tool::CommandPage},
    {"find", vyn::tool::CommandFind},
    {"search", vyn::tool::CommandSearch},
    {"render", vyn::tool::CommandRender},
    {"build", vyn::tool::CommandBuild},
    {"catalog", vyn::tool::CommandCatalog},
    {"results", vyn::tool::CommandResults},
    {"kwic", vyn::tool::CommandKwic},
    {"goto", vyn::tool::CommandGoto},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return vyn::tool::Usage("no command given");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || (i == 1 && std::strcmp(argv[i], "-h") == 0)) {
            std::fputs(vyn::tool::kUsage, stdout);
            return 0;
        }
    }
    std::string_view name = argv[1];
    for (const Command& command : kCommands) {
        if (command.name != name) continue;
        try {
            return command.run(argc, argv);
        } catch (const std::bad_alloc&) {
            std::fputs("vyn-tool: out of memory\n", stderr);
            return 1;
        }
    }
    return vyn::tool::Usage("unknown command " + std::string(name));
}
