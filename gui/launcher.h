// Starting the programs and documents that lie beside the reader.
#pragma once

#include <QString>

namespace vyn {

// Starts the program at path without arguments, in its own folder, and does not wait
// for it. False, and nothing started, when the file is missing or cannot be run.
bool StartCompanion(const QString& path);

// Opens the document at path with the desktop's default handler. False, and nothing
// opened, when the file is missing or no handler takes it.
bool OpenWithDefaultHandler(const QString& path);

}  // namespace vyn
