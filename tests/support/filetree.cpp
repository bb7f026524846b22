#include "support/filetree.h"

#include "support/tempdir.h"

namespace vyn::test {

namespace fs = std::filesystem;

void WriteTree(const fs::path& root, const Files& files) {
    for (const auto& [name, bytes] : files) {
        if (name.ends_with("/")) {
            fs::create_directories(root / name);
            continue;
        }
        fs::create_directories((root / name).parent_path());
        WriteFile(root / name, bytes);
    }
}

Files Snapshot(const fs::path& root) {
    Files entries;
    if (!fs::exists(root)) return entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        entries[name] = entry.is_directory() ? "/" : ReadFile(entry.path());
    }
    return entries;
}

std::string NameText(const CatalogName& name) {
    const auto* utf8 = std::get_if<std::string>(&name);
    return utf8 ? *utf8 : std::string("<UTF-16>");
}

}  // namespace vyn::test
