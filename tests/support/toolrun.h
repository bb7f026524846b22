// Test support: runs the vyn-tool binary named by $VYN_TOOL.
#pragma once

#include <string>
#include <vector>

namespace vyn::test {

struct ToolResult {
    int exitCode = -1;
    std::string out;  // stdout
    std::string err;  // stderr
};

// Runs vyn-tool with args (no shell involved) and collects its output.
ToolResult RunTool(const std::vector<std::string>& args);

}  // namespace vyn::test
