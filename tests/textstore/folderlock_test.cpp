#include "textstore/folderlock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/tempdir.h"

namespace vyn {
namespace {

using std::chrono::milliseconds;

enum class Hold { kNone, kShared, kExclusive };

bool Take(CFolderLock& lock, Hold hold, const std::filesystem::path& folder) {
    switch (hold) {
        case Hold::kShared:
            return lock.LockShared(folder, milliseconds(0));
        case Hold::kExclusive:
            return lock.LockExclusive(folder, milliseconds(0));
        case Hold::kNone:
            break;
    }
    return true;
}

// Who may take the lock while another holds it: readers share, the builder is alone.
TEST(FolderLock, ReadersShareAndTheBuilderIsAlone) {
    struct Case {
        const char* name;
        Hold held;
        Hold wanted;
        bool granted;
    } const cases[] = {
        {"ReaderBesideReader", Hold::kShared, Hold::kShared, true},
        {"ReaderWhileBuilding", Hold::kExclusive, Hold::kShared, false},
        {"BuilderWhileReading", Hold::kShared, Hold::kExclusive, false},
        {"BuilderWhileBuilding", Hold::kExclusive, Hold::kExclusive, false},
        {"BuilderAlone", Hold::kNone, Hold::kExclusive, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        CFolderLock holder, other;
        ASSERT_TRUE(Take(holder, c.held, dir.path()));
        EXPECT_EQ(Take(other, c.wanted, dir.path()), c.granted);
        holder.Unlock();
        EXPECT_TRUE(Take(other, c.wanted, dir.path())) << "once the holder lets go";
    }
}

TEST(FolderLock, ReaderWaitsForTheBuilderToFinish) {
    test::TempDir dir;
    CFolderLock builder;
    ASSERT_TRUE(builder.LockExclusive(dir.path(), milliseconds(0)));
    std::thread finish([&] {
        std::this_thread::sleep_for(milliseconds(50));
        builder.Unlock();
    });
    CFolderLock reader;
    EXPECT_TRUE(reader.LockShared(dir.path(), std::chrono::seconds(30)));
    finish.join();
}

TEST(FolderLock, AddsNothingToTheFolderAndNeedsAFolder) {
    test::TempDir dir;
    {
        CFolderLock builder;
        ASSERT_TRUE(builder.LockExclusive(dir.path(), milliseconds(0)));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    EXPECT_FALSE(CFolderLock().LockExclusive(dir / "missing", milliseconds(0)));
    EXPECT_FALSE(CFolderLock().LockShared(dir / "missing", milliseconds(0)));
}

}  // namespace
}  // namespace vyn
