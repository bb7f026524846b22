// Test support: a data folder rebuilt under its readers, as `vyn-tool build` does it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "builder/databuilder.h"
#include "textstore/folderlock.h"

namespace vyn::test {

// Builds corpus into a scratch folder beside folder, then renames every file built
// over the file of that name in folder while holding the folder's lock exclusively.
// Readers that have their files open keep the old ones. False, with why in reason,
// when the build or a rename fails.
inline bool RebuildFolder(const Corpus& corpus, const std::filesystem::path& folder,
                          std::string& reason) {
    namespace fs = std::filesystem;
    const fs::path scratch = folder.parent_path() / (folder.filename().string() + ".rebuild");
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (!fs::create_directory(scratch, ec)) {
        reason = "cannot create " + scratch.string();
        return false;
    }
    CDataBuilder builder;
    BuildStats stats;
    if (!builder.Build(corpus, scratch, stats)) {
        reason = builder.GetReason();
        return false;
    }
    CFolderLock lock;
    if (!lock.LockExclusive(folder, std::chrono::seconds(10))) {
        reason = "cannot lock " + folder.string();
        return false;
    }
    for (const BuiltFile& file : stats.files) {
        fs::rename(scratch / file.name, folder / file.name, ec);
        if (ec) {
            reason = "cannot move " + file.name;
            return false;
        }
    }
    lock.Unlock();
    fs::remove_all(scratch, ec);
    return true;
}

}  // namespace vyn::test
