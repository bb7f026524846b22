// The save dialog of the reader's exports, and file names made from page or query text.
#pragma once

#include <QString>
#include <optional>

#include "panel/export.h"

class QWidget;

namespace vyn {

// text with what a file name cannot hold ("/", "\", "*", "?", control characters)
// and spaces made "_"; fallback when that leaves nothing or a leading ".".
QString FileNameStem(const QString& text, const QString& fallback);

struct ExportChoice {
    QString path;
    ExportFormat format;
};

// A Japanese save dialog (objectName for tests) offering CSV (default), TSV and JSON
// under stem; the file name follows the chosen format. nullopt when cancelled.
std::optional<ExportChoice> AskExportFile(QWidget* parent, const QString& title,
                                          const QString& objectName, const QString& stem);

}  // namespace vyn
