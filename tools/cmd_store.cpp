// vyn-tool page and find: the text store seen from outside.
#include <cstdio>

#include "textstore/filelist.h"
#include "tools/toolcommon.h"

namespace vyn::tool {

namespace {

bool OpenStore(CFileList& store, const std::string& folder) {
    if (store.Open(folder, kIndexBaseName)) return true;
    Complain("cannot open the text store in " + folder);
    return false;
}

}  // namespace

int CommandPage(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--record", "--folder"}, {}, problem)) return Usage(problem);
    auto data = options.Text("--data");
    auto record = options.Number("--record");
    if (!data || !record || !options.Positional().empty()) {
        return Usage("page needs --data DIR and --record N");
    }
    std::string folder;
    if (!OneDataFolder(options, folder)) return kExitError;
    CFileList store;
    if (!OpenStore(store, folder)) return kExitError;
    ByteString page;
    if (!store.ReadPage(*record, page)) {
        Complain("record " + std::to_string(*record) + " is not a readable record of the store");
        return kExitError;
    }
    if (!page.empty() && std::fwrite(page.data(), 1, page.size(), stdout) != page.size()) {
        Complain("cannot write to stdout");
        return kExitError;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitError;
}

int CommandFind(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--data", "--start", "--number", "--folder"}, {}, problem)) {
        return Usage(problem);
    }
    auto data = options.Text("--data");
    auto start = options.Number("--start");
    auto number = options.Number("--number");
    if (!data || !start || !number || !options.Positional().empty()) {
        return Usage("find needs --data DIR, --start S and --number P");
    }
    std::string folder;
    if (!OneDataFolder(options, folder)) return kExitError;
    CFileList store;
    if (!OpenStore(store, folder)) return kExitError;
    std::int64_t recordIndex = 0;
    if (!store.FindPage(*start, *number, recordIndex)) return kExitNotFound;
    std::printf("%lld\n", static_cast<long long>(recordIndex));
    return 0;
}

}  // namespace vyn::tool
