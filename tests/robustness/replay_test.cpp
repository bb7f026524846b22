// Replays the saved inputs of one fuzz target (tests/robustness/inputs/<target>/)
// through the target's own code: each input once made it crash, hang, leak or break
// one of its checks. A fault aborts the run, and under the sanitizer build any
// sanitizer report does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/tempdir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

TEST(FuzzInputs, EverySavedInputRunsClean) {
    const std::filesystem::path folder = VYN_REPLAY_INPUTS;
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << folder;
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(nullptr, nullptr);
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.filename().string());
        const std::string bytes = vyn::test::ReadFile(input);
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                         bytes.size()),
                  0);
    }
}
