// Test support: folders of files written from a table and read back whole.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "builder/corpus.h"

namespace vyn::test {

// Files by path relative to a root folder, with their bytes.
using Files = std::map<std::string, std::string>;

// Writes each file under root with its folders; an empty content of a name ending
// in "/" makes a folder.
void WriteTree(const std::filesystem::path& root, const Files& files);

// Every file and folder under root, relative, with its bytes ("/" for a folder);
// empty when root does not exist.
Files Snapshot(const std::filesystem::path& root);

// A corpus name as the source readers give it, UTF-8; "<UTF-16>" for a UTF-16 name.
std::string NameText(const CatalogName& name);

}  // namespace vyn::test
