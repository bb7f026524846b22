#include "shell/exportdialog.h"

#include <QFileDialog>
#include <QStandardPaths>

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

QString FileName(const QString& stem, ExportFormat format) {
    return stem + QLatin1Char('.') + QString::fromLatin1(ExportExtension(format).data());
}

}  // namespace

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
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(FileName(stem, ExportFormat::kCsv));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.selectFile(FileName(stem, FormatOf(filter)));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ExportChoice{dialog.selectedFiles().front(), FormatOf(dialog.selectedNameFilter())};
}

}  // namespace vyn
