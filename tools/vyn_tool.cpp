// vyn-tool: command-line access to the data files.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/filelist.h"

namespace {

constexpr int kExitNotFound = 1;
constexpr int kExitError = 2;
constexpr std::string_view kBaseName = "Index";

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

int Usage(const char* problem) {
    std::fprintf(stderr, "vyn-tool: %s\n%s", problem, kUsage);
    return kExitError;
}

// "--name value" options of one command, each given at most once.
class Options {
public:
    bool Parse(int argc, char** argv, int first, const std::vector<std::string_view>& known,
               std::string& problem) {
        for (int i = first; i < argc; ++i) {
            std::string_view arg = argv[i];
            bool isKnown = false;
            for (auto k : known) isKnown |= arg == k;
            if (!isKnown) {
                problem = "unknown argument " + std::string(arg);
                return false;
            }
            if (i + 1 >= argc) {
                problem = std::string(arg) + " needs a value";
                return false;
            }
            if (!m_values.emplace(std::string(arg), argv[++i]).second) {
                problem = std::string(arg) + " given twice";
                return false;
            }
        }
        return true;
    }

    std::optional<std::string> Text(const std::string& name) const {
        auto it = m_values.find(name);
        if (it == m_values.end()) return std::nullopt;
        return it->second;
    }

    std::optional<std::uint32_t> Number(const std::string& name) const {
        auto text = Text(name);
        if (!text || text->empty()) return std::nullopt;
        std::uint32_t value = 0;
        auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
        return value;
    }

private:
    std::map<std::string, std::string> m_values;
};

int OpenStore(vyn::CFileList& store, const std::string& folder) {
    if (store.Open(folder, kBaseName)) return 0;
    std::fprintf(stderr, "vyn-tool: cannot open the text store in %s\n", folder.c_str());
    return kExitError;
}

int CommandPage(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--record"}, problem)) return Usage(problem.c_str());
    auto data = options.Text("--data");
    auto record = options.Number("--record");
    if (!data || !record) return Usage("page needs --data DIR and --record N");
    vyn::CFileList store;
    if (int rc = OpenStore(store, *data)) return rc;
    vyn::ByteString page;
    if (!store.ReadPage(*record, page)) {
        std::fprintf(stderr, "vyn-tool: record %u is not a readable record of the store\n", *record);
        return kExitError;
    }
    if (!page.empty() && std::fwrite(page.data(), 1, page.size(), stdout) != page.size()) {
        std::fprintf(stderr, "vyn-tool: cannot write to stdout\n");
        return kExitError;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitError;
}

int CommandFind(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--start", "--number"}, problem)) {
        return Usage(problem.c_str());
    }
    auto data = options.Text("--data");
    auto start = options.Number("--start");
    auto number = options.Number("--number");
    if (!data || !start || !number) return Usage("find needs --data DIR, --start S and --number P");
    vyn::CFileList store;
    if (int rc = OpenStore(store, *data)) return rc;
    std::int64_t recordIndex = 0;
    if (!store.FindPage(*start, *number, recordIndex)) return kExitNotFound;
    std::printf("%lld\n", static_cast<long long>(recordIndex));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command given");
    std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (command == "page") return CommandPage(argc, argv);
    if (command == "find") return CommandFind(argc, argv);
    return Usage(("unknown command " + std::string(command)).c_str());
}
