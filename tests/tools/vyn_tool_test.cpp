#include <gtest/gtest.h>

#include <string>

#include "support/storefixture.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

using test::RunTool;
using test::TempDir;

class VynToolStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::string binary;
        for (int b = 0; b < 256; ++b) binary.push_back(static_cast<char>(b));
        test::WriteStore(m_dir.path(), {{"v1\\1.htm", "<html>甲</html>"},
                                        {"v1\\2.htm", ""},
                                        {"v2\\1.htm", binary},
                                        {"v2\\0002.htm", "x"}});
        m_binary = binary;
    }
    std::string Data() const { return m_dir.path().string(); }

    TempDir m_dir;
    std::string m_binary;
};

TEST_F(VynToolStoreTest, PageWritesTheUnmaskedBytes) {
    const struct {
        const char* record;
        std::string bytes;
    } cases[] = {{"0", "<html>甲</html>"}, {"1", ""}, {"2", m_binary}, {"3", "x"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        auto r = RunTool({"page", "--data", Data(), "--record", c.record});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.bytes);
    }
}

TEST_F(VynToolStoreTest, FindPrintsTheRecordIndex) {
    const struct {
        const char *start, *number;
        int exitCode;
        std::string out;
    } cases[] = {
        {"0", "1", 0, "0\n"}, {"1", "1", 0, "2\n"}, {"2", "2", 0, "3\n"},
        {"0", "9", 1, ""},    {"4", "1", 1, ""},    {"100", "1", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + "/" + c.number);
        auto r = RunTool({"find", "--data", Data(), "--start", c.start, "--number", c.number});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST_F(VynToolStoreTest, ErrorsExitWithAMessage) {
    TempDir empty;
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"record beyond the store", {"page", "--data", Data(), "--record", "4"}, 2},
        {"store missing", {"page", "--data", empty.path().string(), "--record", "0"}, 2},
        {"find on a missing store",
         {"find", "--data", empty.path().string(), "--start", "0", "--number", "1"}, 2},
        {"record not a number", {"page", "--data", Data(), "--record", "x1"}, 2},
        {"negative record", {"page", "--data", Data(), "--record", "-1"}, 2},
        {"missing option", {"find", "--data", Data(), "--number", "1"}, 2},
        {"unknown option", {"page", "--data", Data(), "--record", "0", "--frob", "1"}, 2},
        {"option without value", {"page", "--data"}, 2},
        {"unknown command", {"frob"}, 2},
        {"no command", {}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("vyn-tool:"), std::string::npos) << r.err;
    }
}

TEST(VynTool, HelpDescribesTheCommands) {
    auto r = RunTool({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"page --data DIR --record N", "find --data DIR --start S --number P",
                             "--library DIR [--max-records N]"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vyn
