// Where the user's saves go: the folder the save dialogs start in, the length of a
// file name, and the mode of a saved file.
#pragma once

#include <QString>

namespace vyn {

// The folder of the last save (kept in the profile) while it exists, else the user's
// documents folder.
QString SaveFolder();
// Keeps the folder of savedFile as the one the next save dialog starts in.
void RememberSaveFolder(const QString& savedFile);

// stem + suffix, the stem cut (never inside a character) so that the name takes at
// most 255 bytes in UTF-8, the most a Linux file system takes.
QString FitFileName(const QString& stem, const QString& suffix);

// Gives path the mode of a file the user creates (0666 less the umask); for files
// that a library writes owner-only. False when the mode cannot be set.
bool GiveUsualMode(const QString& path);

}  // namespace vyn
