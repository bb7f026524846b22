#include "support/toolrun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/tempdir.h"

extern char** environ;

namespace vyn::test {

ToolResult RunTool(const std::vector<std::string>& args) {
    const char* tool = std::getenv("VYN_TOOL");
    if (!tool) throw std::runtime_error("VYN_TOOL is not set");
    TempDir dir;
    const std::string outPath = (dir / "out").string(), errPath = (dir / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    std::string program = tool;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, tool, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start vyn-tool");
    int status = 0;
    waitpid(pid, &status, 0);
    ToolResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    // Under the sanitizer build a report of the tool fails the test, whatever the
    // test expects of its exit code.
    for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        if (result.err.find(report) != std::string::npos) ADD_FAILURE() << "vyn-tool: " << result.err;
    }
    return result;
}

}  // namespace vyn::test
