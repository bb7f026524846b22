// Where the reader finds the files that lie beside its executable.
#pragma once

#include <QString>

namespace vyn {

// The folder of the running executable, without a trailing separator. Requires a
// QCoreApplication. Returns the override if one is set.
QString ExecutableFolder();

// ExecutableFolder() + "/" + name.
QString FileBesideExecutable(const QString& name);

// Makes ExecutableFolder() answer folder instead (tests, embedding); an empty folder
// removes the override.
void OverrideExecutableFolder(const QString& folder);

// The folder the reader's data files are read from: the one SetDataFolder named
// (vyn --data DIR), else ExecutableFolder().
QString DataFolder();

// Makes DataFolder() answer folder; an empty folder goes back to the executable's.
void SetDataFolder(const QString& folder);

}  // namespace vyn
