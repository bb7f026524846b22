// vyn-tool build: the data files from a corpus source folder or from texts of the
// Kanseki Repository, into one data folder or into a library of them.
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
#include "builder/librarybuilder.h"
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
// a line at every tenth otherwise. A library build reads its whole input first,
// which shows as a count of pages read, then builds its folders, which show as one
// run of percentages over the whole input with the folder in front.
class CProgressReport {
public:
    CProgressReport() : m_terminal(isatty(STDERR_FILENO) == 1) {}

    void ShowLibrary(const LibraryProgress& progress) {
        if (progress.phase == LibraryProgress::kReading) {
            ShowReading(progress.pagesDone);
        } else {
            ShowFolders(progress);
        }
    }

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
    using Clock = std::chrono::steady_clock;
    // How often the count of pages read is shown.
    static constexpr std::chrono::milliseconds c_terminalEvery{200};
    static constexpr std::chrono::seconds c_lineEvery{5};

    void ShowReading(std::uint64_t pages) {
        const Clock::time_point now = Clock::now();
        if (now - m_lastRead <
            (m_terminal ? Clock::duration(c_terminalEvery) : Clock::duration(c_lineEvery))) {
            return;
        }
        m_lastRead = now;
        if (m_terminal) {
            std::fprintf(stderr, "\rreading: %llu pages", static_cast<unsigned long long>(pages));
            m_open = true;
        } else {
            std::fprintf(stderr, "reading: %llu pages\n", static_cast<unsigned long long>(pages));
        }
        std::fflush(stderr);
    }

    void ShowFolders(const LibraryProgress& progress) {
        const auto done = static_cast<unsigned long long>(progress.pagesDone);
        const auto total = static_cast<unsigned long long>(progress.pagesTotal);
        if (!m_planned) {
            if (m_terminal) std::fputc('\r', stderr);
            std::fprintf(stderr, "read %llu pages: %zu %s\n", total, progress.folders,
                         progress.folders == 1 ? "folder" : "folders");
            m_open = false;
            m_planned = true;
        }
        const auto percent = static_cast<int>(total == 0 ? 100 : done * 100 / total);
        const bool newFolder = progress.folder != m_folder;
        m_folder = progress.folder;
        if (m_terminal) {
            if (percent == m_shown && !newFolder && done != total) return;
            const int filled = percent * kBarWidth / 100;
            std::fprintf(stderr, "\rfolder %zu/%zu [%s%s] %3d%%  %llu/%llu pages", progress.folder,
                         progress.folders,
                         std::string(static_cast<std::size_t>(filled), '#').c_str(),
                         std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(),
                         percent, done, total);
            m_open = true;
            m_shown = percent;
        } else {
            if (percent / 10 * 10 <= m_shown && !newFolder) return;
            std::fprintf(stderr, "building folder %zu/%zu: %d%% (%llu/%llu pages)\n",
                         progress.folder, progress.folders, percent, done, total);
            m_shown = percent / 10 * 10;
        }
        std::fflush(stderr);
    }

    bool m_terminal;
    bool m_open = false;
    int m_shown = -1;
    Clock::time_point m_lastRead{};
    bool m_planned = false;
    std::size_t m_folder = 0;
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

// Whether a build into dir finished: complains that it was interrupted, or that it
// failed with reason, and answers false when it did not.
bool Finished(bool built, const std::string& reason, const fs::path& dir) {
    if (g_interrupted) {
        Complain("interrupted; " + dir.string() + " is left as it was");
        return false;
    }
    if (!built) {
        Complain(reason);
        return false;
    }
    return true;
}

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

// The input of a build: a corpus source folder or texts of the Kanseki Repository.
struct Input {
    std::string path;
    bool kanripo = false;

    // Reads as much of the input as scope keeps. False with the reason.
    bool Read(const ReadScope& scope, Corpus& corpus, std::string& reason) const {
        if (kanripo) {
            CKanripoReader reader;
            if (reader.Read(path, corpus, scope)) return true;
            reason = reader.GetReason();
        } else {
            CSourceReader reader;
            if (reader.Read(path, corpus, scope)) return true;
            reason = reader.GetReason();
        }
        return false;
    }
};

// The folder a build writes, absolute and without a trailing separator. False with
// a complaint when it cannot be resolved or is something other than a folder.
bool TargetFolder(const std::string& given, fs::path& dir) {
    std::error_code ec;
    dir = fs::absolute(given, ec).lexically_normal();
    if (ec) {
        Complain("cannot resolve " + given);
        return false;
    }
    if (!dir.has_filename()) dir = dir.parent_path();
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
        Complain(given + " is not a folder");
        return false;
    }
    return true;
}

int BuildDataFolder(const Input& input, const std::string& out,
                    std::chrono::steady_clock::time_point started) {
    Corpus corpus;
    std::string problem;
    if (!input.Read({}, corpus, problem)) {
        Complain(problem);
        return kExitError;
    }
    if (input.kanripo && !CheckCorpusLimits(corpus, problem)) {
        Complain(problem);
        return kExitError;
    }

    fs::path dir;
    if (!TargetFolder(out, dir)) return kExitError;
    std::error_code ec;
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
    if (!Finished(built, builder.GetReason(), dir)) return kExitError;
    if (!Install(scratch.Path(), dir, stats.files, problem)) {
        Complain(problem);
        return kExitError;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    PrintSummary(corpus, stats, dir, elapsed.count());
    return std::fflush(stdout) == 0 ? 0 : kExitError;
}

// The folders that create_directories(path) would create, deepest first; removed
// when this goes unless kept, each only when empty.
class CCreatedFolders {
public:
    explicit CCreatedFolders(const fs::path& path) {
        std::error_code ec;
        for (fs::path p = path; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            m_missing.push_back(p);
            if (p == p.parent_path()) break;
        }
    }
    ~CCreatedFolders() {
        std::error_code ec;
        for (const fs::path& p : m_missing) fs::remove(p, ec);
    }
    CCreatedFolders(const CCreatedFolders&) = delete;
    CCreatedFolders& operator=(const CCreatedFolders&) = delete;

    void Keep() { m_missing.clear(); }

private:
    std::vector<fs::path> m_missing;
};

void PrintLibrarySummary(const LibraryStats& stats, const fs::path& dir, double seconds) {
    std::uint64_t volumes = 0, pages = 0, characters = 0, indexed = 0, total = 0;
    for (const LibraryFolder& folder : stats.folders) {
        volumes += folder.stats.volumes;
        pages += folder.stats.pages;
        characters += folder.stats.characters;
        indexed += folder.stats.indexedCharacters;
    }
    std::printf("built %s, %s, %s: %s, %s (%s indexed), in %s\n",
                Counted(stats.categories, "category", "categories").c_str(),
                Counted(stats.books, "book", "books").c_str(),
                Counted(volumes, "volume", "volumes").c_str(),
                Counted(pages, "page", "pages").c_str(),
                Counted(characters, "character", "characters").c_str(), Grouped(indexed).c_str(),
                Counted(stats.folders.size(), "folder", "folders").c_str());
    for (const LibraryFolder& folder : stats.folders) {
        std::uint64_t bytes = 0;
        for (const BuiltFile& file : folder.stats.files) bytes += file.bytes;
        total += bytes;
        std::printf("  %s  %s: %s, %s, %s, %s, %s bytes\n", folder.name.c_str(),
                    folder.title.c_str(),
                    Counted(folder.categories, "category", "categories").c_str(),
                    Counted(folder.books, "book", "books").c_str(),
                    Counted(folder.stats.catalogRecords, "record", "records").c_str(),
                    Counted(folder.stats.pages, "page", "pages").c_str(), Grouped(bytes).c_str());
    }
    std::printf("all files %s bytes, in %s\n", Grouped(total).c_str(), dir.string().c_str());
    std::printf("took %.2f s\n", seconds);
}

// Reads --max-records, --max-pages and --max-content-bytes into caps. False with
// problem set when one is not a number from 1 to the format's cap.
bool ReadCaps(const Options& options, FolderCaps& caps, std::string& problem) {
    const struct {
        const char* option;
        std::uint64_t FolderCaps::*cap;
        std::uint64_t most;
    } table[] = {
        {"--max-records", &FolderCaps::records, kMaxCatalogRecords},
        {"--max-pages", &FolderCaps::pages, kMaxFolderPages},
        {"--max-content-bytes", &FolderCaps::contentBytes, kMaxContentBytes},
    };
    for (const auto& row : table) {
        if (!options.Text(row.option)) continue;
        const std::optional<std::uint32_t> value = options.Number(row.option);
        if (!value || *value < 1 || *value > row.most) {
            problem =
                std::string(row.option) + " takes a number from 1 to " + std::to_string(row.most);
            return false;
        }
        caps.*row.cap = *value;
    }
    return true;
}

int BuildLibrary(const Input& input, const std::string& out, const FolderCaps& caps,
                 std::chrono::steady_clock::time_point started) {
    fs::path dir;
    if (!TargetFolder(out, dir)) return kExitError;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
        Complain(out + " is not empty; --library builds only into an empty or new folder");
        return kExitError;
    }
    CInterruptGuard interruptGuard;
    const fs::path parent = dir.parent_path();
    CCreatedFolders created(parent);
    fs::create_directories(parent, ec);
    CScratchFolder scratch;
    if (ec || !scratch.Create(parent)) {
        Complain("cannot create a temporary folder in " + parent.string());
        return kExitError;
    }
    // Made by create_directory, unlike the scratch folder, so that it gets the
    // usual permissions.
    const fs::path library = scratch.Path() / "library";
    if (!fs::create_directory(library, ec)) {
        Complain("cannot create a folder in " + scratch.Path().string());
        return kExitError;
    }

    CProgressReport progress;
    CLibraryBuilder builder(
        [&progress](const LibraryProgress& at) {
            if (g_interrupted) throw Interrupted();
            progress.ShowLibrary(at);
        },
        caps);
    LibraryStats stats;
    const bool built =
        builder.Build([&input](const ReadScope& scope, Corpus& corpus,
                               std::string& reason) { return input.Read(scope, corpus, reason); },
                      library, stats);
    progress.Finish();
    if (!Finished(built, builder.GetReason(), dir)) return kExitError;
    // An empty folder is replaced; one filled meanwhile is not.
    fs::rename(library, dir, ec);
    if (ec) {
        Complain("cannot move the library into " + dir.string());
        return kExitError;
    }
    created.Keep();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    PrintLibrarySummary(stats, dir, elapsed.count());
    return std::fflush(stdout) == 0 ? 0 : kExitError;
}

}  // namespace

int CommandBuild(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    Options options;
    std::string problem;
    if (!options.Parse(argc, argv, 2,
                       {"--source", "--kanripo", "--out", "--library", "--max-records",
                        "--max-pages", "--max-content-bytes"},
                       {}, problem)) {
        return Usage(problem);
    }
    auto source = options.Text("--source");
    auto kanripo = options.Text("--kanripo");
    auto out = options.Text("--out");
    auto library = options.Text("--library");
    if (source && kanripo) return Usage("build takes --source SRC or --kanripo SRC, not both");
    if (out && library) return Usage("build takes --out DIR or --library DIR, not both");
    const auto& input = kanripo ? kanripo : source;
    const auto& target = library ? library : out;
    if (!input || !target || input->empty() || target->empty() || !options.Positional().empty()) {
        return Usage(std::string("build needs ") + (kanripo ? "--kanripo SRC" : "--source SRC") +
                     " and " + (library ? "--library DIR" : "--out DIR"));
    }
    FolderCaps caps;
    if (!ReadCaps(options, caps, problem)) return Usage(problem);
    if (!library) {
        for (const char* option : {"--max-records", "--max-pages", "--max-content-bytes"}) {
            if (options.Text(option)) return Usage(std::string(option) + " needs --library");
        }
        return BuildDataFolder({*input, kanripo.has_value()}, *out, started);
    }
    return BuildLibrary({*input, kanripo.has_value()}, *library, caps, started);
}

}  // namespace vyn::tool
