// The save dialog of the reader's exports, and file names made from page or query text.
#pragma once

#include <QString>
#include <optional>
#include <string_view>

#include "panel/export.h"

class QWidget;

namespace vyn {

// text with what a file name cannot hold ("/", "\", "*", "?", control characters)
// and spaces made "_"; fallback when that leaves nothing or a leading ".".
QString FileNameStem(const QString& text, const QString& fallback);

// stem with the extension of format ("朙月.csv"), cut to a length file systems take.
QString ExportFileName(const QString& stem, ExportFormat format);

struct ExportChoice {
    QString path;
    ExportFormat format;
};

// A Japanese save dialog (objectName for tests) offering CSV (default), TSV and JSON
// under stem, in the folder of the last save; the file name follows the chosen
// format. nullopt when cancelled.
std::optional<ExportChoice> AskExportFile(QWidget* parent, const QString& title,
                                          const QString& objectName, const QString& stem);

// Writes bytes to path, replacing what the file held. False when the file cannot be
// opened or not all of bytes were written.
bool WriteExportFile(const QString& path, std::string_view bytes);

}  // namespace vyn
