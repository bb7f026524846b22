// Writes the seed inputs of every fuzz target, made from the seed corpus's data files,
// into the folder given: one subfolder per target.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzzinput.h"
#include "fuzz/indexinput.h"
#include "fuzz/seedcorpus.h"
#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace {

using namespace vyn;
namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SeedWriter {
public:
    explicit SeedWriter(fs::path folder) : m_folder(std::move(folder)) {
        fs::create_directories(m_folder);
    }
    void Add(const std::string& bytes) {
        fuzz::WriteBytes(m_folder / ("seed-" + std::to_string(m_next++)), bytes);
    }
    void Add(const std::vector<std::string>& parts) { Add(fuzz::JoinParts(parts)); }

private:
    fs::path m_folder;
    int m_next = 0;
};

const std::u16string kQueries[] = {u"學而", u"學 而", u"不亦*乎", u"可?可", u"國　体",
                                   u"𠀀", u"丽", u"かな", u"說*方 道", u"**", u"?"};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeseeds FOLDER\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path data = out / "data";
    fuzz::BuildSeedData(data);
    const std::string directory = Read(data / "Index-fl.h");
    const std::string content = Read(data / "Index-fl.cnt");

    SeedWriter store(out / "store");
    for (const auto& query : kQueries) {
        store.Add({directory, content, fuzz::BytesFromUtf16(query), std::string("\x01\x01\x00\x01", 4)});
    }
    store.Add({directory.substr(0, 268 + 2 * 108), content.substr(0, content.size() / 2), "", ""});

    const fs::path tiny = out / "tiny";
    fuzz::BuildSeedData(tiny, fuzz::TinyCorpus());
    SeedWriter index(out / "index");
    for (const char* base : {"Index", "Index_content", "Index_desc"}) {
        std::string entries, chain;
        fuzz::CompactHeader(Read(tiny / (std::string(base) + "-idx.h")), entries, chain);
        const std::string postings = Read(tiny / (std::string(base) + "-idx.m"));
        for (const auto& query : {kQueries[0], kQueries[1], kQueries[3], std::u16string(u"學*體")}) {
            index.Add({entries, chain, postings, fuzz::BytesFromUtf16(query)});
        }
    }

    SeedWriter catalog(out / "catalog");
    const std::string dir = Read(data / "vyn.dir");
    catalog.Add(dir);
    catalog.Add(dir.substr(0, dir.size() - 100));

    SeedWriter variants(out / "variants");
    const std::string table = Read(data / "yitizi.txt");
    for (const auto& query : kQueries) variants.Add({table, fuzz::BytesFromUtf16(query)});
    variants.Add({"9AD4,,4F53\r\n\n 0x570b , -56FD\n", fuzz::BytesFromUtf16(u"體國")});

    SeedWriter query(out / "query");
    for (const auto& text : kQueries) {
        for (char options : {'\x00', '\x05', '\x0A', '\x0F'}) {
            query.Add(std::string(1, options) + fuzz::BytesFromUtf16(text));
        }
    }
    query.Add(std::string(1, '\x04') + fuzz::BytesFromUtf16(std::u16string(u"學\xD800而\0\xDC00", 5)));

    SeedWriter page(out / "page");
    CFileList list;
    if (!list.Open(data, "Index")) return 1;
    for (std::uint32_t record = 0;; ++record) {
        ByteString bytes;
        if (!list.ReadPage(record, bytes)) break;
        const std::string text(AsView(bytes));
        for (const char* term : {"學而", "不亦*乎", "可?可", "說", "<p>", "*"}) {
            page.Add({text, term, std::string(1, static_cast<char>(record % 6))});
        }
    }
    return 0;
}
