#include "bench/peers/ripgrep.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "bench/peers/pagetext.h"
#include "encoding/utf.h"

extern char** environ;

namespace vyn::peers {

namespace {

const std::string kAnyCharacter = std::string("[^") + "\\t" + "]";

std::string UnitPattern(const Unit& unit) {
    if (unit.IsAny()) return kAnyCharacter;
    std::string text;
    if (unit.alternatives.size() > 1) text += '[';
    for (char32_t c : unit.alternatives) AppendUtf8(text, c);
    if (unit.alternatives.size() > 1) text += ']';
    return text;
}

std::vector<std::string> Rg(std::vector<std::string> rest) {
    std::vector<std::string> command = {
        "rg", "--no-config", "--no-filename", "--regex-size-limit", "1G", "--dfa-size-limit", "1G"};
    command.insert(command.end(), rest.begin(), rest.end());
    return command;
}

}  // namespace

std::string RipgrepPattern(const PeerWord& word) {
    std::string pattern;
    for (std::size_t k = 0; k < word.parts.size(); ++k) {
        if (k > 0) {
            pattern += kAnyCharacter + "{" + std::to_string(word.minGap[k - 1]) + "," +
                       std::to_string(word.maxGap[k - 1]) + "}";
        }
        for (const Unit& unit : word.parts[k]) pattern += UnitPattern(unit);
    }
    return pattern;
}

std::vector<std::vector<std::string>> RipgrepPipeline(const PeerQuery& query,
                                                      const std::string& textPath, bool countOnly) {
    std::vector<std::string> patterns;
    for (const PeerWord& word : query.words) {
        std::string pattern = RipgrepPattern(word);
        if (pattern.empty()) {
            if (!query.any) return {};
            continue;
        }
        patterns.push_back(std::move(pattern));
    }
    if (patterns.empty()) return {};
    if (query.any) {
        std::string alternation;
        for (const std::string& p : patterns) {
            alternation += (alternation.empty() ? "(?:" : "|(?:") + p + ")";
        }
        patterns = {alternation};
    }
    std::vector<std::vector<std::string>> stages;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        std::vector<std::string> args;
        const bool last = i + 1 == patterns.size();
        if (last && countOnly) args.push_back("-c");
        if (i == 0 && !countOnly) args.push_back("-n");
        if (i > 0 && !countOnly) args.push_back("--no-line-number");
        args.push_back("-e");
        args.push_back(patterns[i]);
        if (i == 0) args.push_back(textPath);
        stages.push_back(Rg(std::move(args)));
    }
    return stages;
}

double RunPipeline(const std::vector<std::vector<std::string>>& commands, std::string* output) {
    if (commands.empty()) return 0;
    int capture[2] = {-1, -1};
    if (output && pipe(capture) != 0) return -1;
    const int devNull = open("/dev/null", O_RDWR);
    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    int previousRead = -1;
    bool started = true;
    for (std::size_t i = 0; i < commands.size() && started; ++i) {
        const bool last = i + 1 == commands.size();
        int link[2] = {-1, -1};
        if (!last && pipe(link) != 0) {
            started = false;
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, previousRead >= 0 ? previousRead : devNull, 0);
        posix_spawn_file_actions_adddup2(&actions, last ? (output ? capture[1] : devNull) : link[1],
                                         1);
        for (int fd : {previousRead, link[0], link[1], capture[0], capture[1], devNull}) {
            if (fd > 2) posix_spawn_file_actions_addclose(&actions, fd);
        }
        std::vector<char*> argv;
        for (const std::string& a : commands[i]) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            children.push_back(pid);
        } else {
            started = false;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (previousRead >= 0) close(previousRead);
        if (!last) close(link[1]);
        previousRead = last ? -1 : link[0];
    }
    if (previousRead >= 0) close(previousRead);
    if (output) {
        close(capture[1]);
        output->clear();
        char buffer[65536];
        ssize_t n = 0;
        while ((n = read(capture[0], buffer, sizeof buffer)) > 0) output->append(buffer, n);
        close(capture[0]);
    }
    bool signalled = false;
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) signalled = true;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(devNull);
    return started && !signalled ? seconds : -1;
}

std::vector<std::uint32_t> PagesOfNumberedLines(const std::string& output) {
    std::vector<std::uint32_t> pages;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::uint64_t number = 0;
        std::size_t i = start;
        while (i < end && output[i] >= '0' && output[i] <= '9')
            number = number * 10 + (output[i++] - '0');
        if (i > start && i < end && output[i] == ':' && number > 0) {
            pages.push_back(static_cast<std::uint32_t>(number - 1));
        }
        start = end + 1;
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

}  // namespace vyn::peers
