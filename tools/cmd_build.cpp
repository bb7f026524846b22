// vyn-tool build: the data files from a corpus source folder or from texts of the
// Kanseki Repository.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "builder/databuilder.h"
#include "builder/kanriporeader.h"
#include "builder/readfault.h"
#include "builder/sourcereader.h"
#include "textstore/folderlock.h"
#include "tools/toolcommon.h"

namespace vyn::tool {

namespace {

namespace fs = std::filesystem;

constexpr int kBarWidth = 30;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// Thrown from the progress callback to stop the builder, which turns it into a
// failed build.
struct Interrupted {};

// Lets an interrupt stop the build so that the temporary folder is removed, while
// it lives; the previous handlers come back after.
class CInterruptGuard {
public:
    CInterruptGuard() {
        for (std::size_t i = 0; i < std::size(c_signals); ++i) {
            m_previous[i] = std::signal(c_signals[i], OnInterrupt);
        }
    }
    ~CInterruptGuard() {
        for (std::size_t i = 0; i < std::size(c_signals); ++i) {
            if (m_previous[i] != SIG_ERR) std::signal(c_signals[i], m_previous[i]);
        }
    }
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

private:
    static constexpr int c_signals[] = {SIGINT, SIGTERM, SIGHUP};
    void (*m_previous[std::size(c_signals)])(int) = {};
};

// Shows the build's progress on stderr: one line redrawn in place on a terminal,
// a line at every tenth otherwise.
class CProgressReport {
public:
    CProgressReport() : m_terminal(isatty(STDERR_FILENO) == 1) {}

    void Show(std::uint32_t done, std::uint32_t total) {
        const auto percent =
            static_cast<int>(total == 0 ? 100 : std::uint64_t{done} * 100 / total);
        if (m_terminal) {
            if (percent == m_shown && done != total) return;
            const int filled = percent * kBarWidth / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%%  %u/%u pages",
                         std::string(static_cast<std::size_t>(filled), '#').c_str(),
                         std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(),
                         percent, done, total);
            m_open = true;
        } else {
            if (percent / 10 * 10 <= m_shown) return;
            std::fprintf(stderr, "building: %d%% (%u/%u pages)\n", percent, done, total);
        }
        m_shown = m_terminal ? percent : percent / 10 * 10;
        std::fflush(stderr);
    }

    // Ends the redrawn line.
    void Finish() {
        if (m_open) std::fputc('\n', stderr);
        m_open = false;
    }

private:
    bool m_terminal;
    bool m_open = false;
    int m_shown = -1;
};

// How long the build waits for readers that are opening the folder.
constexpr std::chrono::seconds kLockWait{10};

// A folder created by mkdtemp, removed with its contents when this goes.
class CScratchFolder {
public:
    ~CScratchFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }

    // Creates a fresh folder in parent. False when that fails.
    bool Create(const fs::path& parent) {
        std::string pattern = (parent / ".vyn-build-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return false;
        m_path = pattern;
        return true;
    }

    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// Moves the built files from scratch into dir (created when missing), replacing
// files of the same names, all or nothing, under the folder's exclusive lock: each
// file it replaces is first kept in scratch, and put back when a later move fails. False with problem set otherwise;
// dir is then as it was.
bool Install(const fs::path& scratch, const fs::path& dir, const std::vector<BuiltFile>& files,
             std::string& problem) {
    std::error_code ec;
    bool created = false;
    if (!fs::is_directory(dir, ec)) {
        if (!fs::create_directory(dir, ec)) {
            problem = "cannot create " + dir.string();
            return false;
        }
        created = true;
    }
    // Readers opening meanwhile wait for the whole new set; readers that have their
    // files open keep reading the old ones, which the renames only unlink.
    CFolderLock lock;
    if (!lock.LockExclusive(dir, kLockWait)) {
        problem = "cannot lock " + dir.string() + ": a reader is opening it; try again";
        if (created) fs::remove(dir, ec);
        return false;
    }
    const fs::path kept = scratch / ".replaced";
    if (!fs::create_directory(kept, ec)) {
        problem = "cannot create a folder in " + scratch.string();
        return false;
    }

    std::vector<bool> replaces;
    std::size_t moved = 0;
    auto undo = [&] {
        std::error_code ignored;
        for (std::size_t i = moved; i-- > 0;) {
            if (replaces[i]) {
                fs::rename(kept / files[i].name, dir / files[i].name, ignored);
            } else {
                fs::remove(dir / files[i].name, ignored);
            }
        }
        if (created) fs::remove(dir, ignored);
    };

    for (const BuiltFile& file : files) {
        const fs::path target = dir / file.name;
        const fs::file_status status = fs::symlink_status(target, ec);
        const bool exists = fs::exists(status);
        if (exists && fs::is_directory(status)) {
            problem = target.string() + " is a folder";
            undo();
            return false;
        }
        if (exists) {
            fs::create_hard_link(target, kept / file.name, ec);
            if (ec) fs::copy_file(target, kept / file.name, ec);
            if (ec) {
                problem = "cannot keep a copy of " + target.string();
                undo();
                return false;
            }
        }
        replaces.push_back(exists);
    }
    for (; moved < files.size(); ++moved) {
        fs::rename(scratch / files[moved].name, dir / files[moved].name, ec);
        if (ec) {
            problem = "cannot move " + files[moved].name + " into " + dir.string();
            undo();
            return false;
        }
    }
    return true;
}

std::string Counted(std::uint64_t count, const char* one, const char* many) {
    return Grouped(count) + " " + (count == 1 ? one : many);
}

void PrintSummary(const Corpus& corpus, const BuildStats& stats, const fs::path& dir,
                  double seconds) {
    std::size_t books = 0;
    for (const CorpusCategory& category : corpus.categories) books += category.books.size();
    std::printf("built %s, %s, %s: %s, %s (%s indexed)\n",
                Counted(corpus.categories.size(), "category", "categories").c_str(),
                Counted(books, "book", "books").c_str(),
                Counted(stats.volumes, "volume", "volumes").c_str(),
                Counted(stats.pages, "page", "pages").c_str(),
                Counted(stats.characters, "character", "characters").c_str(),
                Grouped(stats.indexedCharacters).c_str());
    std::uint64_t total = 0;
    std::uint64_t index = 0;
    for (const BuiltFile& file : stats.files) {
        std::printf("  %-24s %16s bytes\n", file.name.c_str(), Grouped(file.bytes).c_str());
        total += file.bytes;
        if (file.name.find("-idx.") != std::string::npos) index += file.bytes;
    }
    std::printf("index %s bytes, all files %s bytes, in %s\n", Grouped(index).c_str(),
                Grouped(total).c_str(), dir.string().c_str());
    std::printf("took %.2f s\n", seconds);
}

}  // namespace

int CommandBuild(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2, {"--source", "--kanripo", "--out"}, {}, problem)) return Usage(problem);
    auto source = options.Text("--source");
    auto kanripo = options.Text("--kanripo");
    auto out = options.Text("--out");
    if (source && kanripo) return Usage("build takes --source SRC or --kanripo SRC, not both");
    const auto& input = kanripo ? kanripo : source;
    if (!input || !out || input->empty() || out->empty() || !options.Positional().empty()) {
        return Usage(kanripo ? "build needs --kanripo SRC and --out DIR" : "build needs --source SRC and --out DIR");
    }

    Corpus corpus;
    if (source) {
        CSourceReader reader;
        if (!reader.Read(*source, corpus)) {
            Complain(reader.GetReason());
            return kExitError;
        }
    } else {
        CKanripoReader reader;
        if (!reader.Read(*kanripo, corpus)) {
            Complain(reader.GetReason());
            return kExitError;
        }
        if (!CheckCorpusLimits(corpus, problem)) {
            Complain(problem);
            return kExitError;
        }
    }

    std::error_code ec;
    fs::path dir = fs::absolute(*out, ec).lexically_normal();
    if (ec) {
        Complain("cannot resolve " + *out);
        return kExitError;
    }
    if (!dir.has_filename()) dir = dir.parent_path();
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
        Complain(*out + " is not a folder");
        return kExitError;
    }
    CInterruptGuard interruptGuard;
    const fs::path parent = dir.parent_path();
    fs::create_directories(parent, ec);
    CScratchFolder scratch;
    if (ec || !scratch.Create(parent)) {
        Complain("cannot create a temporary folder in " + parent.string());
        return kExitError;
    }

    CProgressReport progress;
    CDataBuilder builder([&progress](std::uint32_t done, std::uint32_t total) {
        if (g_interrupted) throw Interrupted();
        progress.Show(done, total);
    });
    BuildStats stats;
    const bool built = builder.Build(corpus, scratch.Path(), stats);
    progress.Finish();
    if (g_interrupted) {
        Complain("interrupted; " + dir.string() + " is left as it was");
        return kExitError;
    }
    if (!built) {
        Complain(builder.GetReason());
        return kExitError;
    }
    if (!Install(scratch.Path(), dir, stats.files, problem)) {
        Complain(problem);
        return kExitError;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    PrintSummary(corpus, stats, dir, elapsed.count());
    return std::fflush(stdout) == 0 ? 0 : kExitError;
}

}  // namespace vyn::tool
