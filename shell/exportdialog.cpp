#include "shell/exportdialog.h"

#include <QFile>
#include <QFileDialog>

#include "gui/qtstrings.h"
#include "gui/savefolder.h"

namespace vyn {

namespace {

struct Offered {
    ExportFormat format;
    const char* filter;
};
constexpr Offered kOffered[] = {{ExportFormat::kCsv, "CSV (*.csv)"},
                                {ExportFormat::kTsv, "TSV (*.tsv)"},
                                {ExportFormat::kJson, "JSON (*.json)"}};

ExportFormat FormatOf(const QString& filter) {
    for (const Offered& offered : kOffered) {
        if (filter == QLatin1String(offered.filter)) return offered.format;
    }
    return ExportFormat::kCsv;
}

}  // namespace

QString ExportFileName(const QString& stem, ExportFormat format) {
    return FitFileName(stem, QLatin1Char('.') + FromUtf8(ExportExtension(format)));
}

QString FileNameStem(const QString& text, const QString& fallback) {
    QString stem = text.simplified();
    for (QChar& c : stem) {
        if (c == u' ' || c == QChar(0x3000) || c == u'/' || c == u'\\' || c == u'*' || c == u'?' ||
            c.unicode() < 0x20) {
            c = u'_';
        }
    }
    return stem.isEmpty() || stem.startsWith(u'.') ? fallback : stem;
}

std::optional<ExportChoice> AskExportFile(QWidget* parent, const QString& title,
                                          const QString& objectName, const QString& stem) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(objectName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const Offered& offered : kOffered) filters << QString::fromLatin1(offered.filter);
    dialog.setNameFilters(filters);
    dialog.setDirectory(SaveFolder());
    dialog.selectFile(ExportFileName(stem, ExportFormat::kCsv));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.selectFile(ExportFileName(stem, FormatOf(filter)));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    RememberSaveFolder(dialog.selectedFiles().front());
    return ExportChoice{dialog.selectedFiles().front(), FormatOf(dialog.selectedNameFilter())};
}

bool WriteExportFile(const QString& path, std::string_view bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool written = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                         static_cast<qint64>(bytes.size());
    return file.flush() && written;
}

}  // namespace vyn
