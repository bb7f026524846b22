#include "gui/savefolder.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "gui/profile.h"

namespace vyn {

namespace {

const QString kSection = QStringLiteral("Save");
const QString kEntry = QStringLiteral("Folder");
constexpr qsizetype kMaxNameBytes = 255;

}  // namespace

QString SaveFolder() {
    const QString last = CProfile::GetProfileString(kSection, kEntry);
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void RememberSaveFolder(const QString& savedFile) {
    const QString folder = QFileInfo(savedFile).absolutePath();
    if (!folder.isEmpty()) CProfile::WriteProfileString(kSection, kEntry, folder);
}

QString FitFileName(const QString& stem, const QString& suffix) {
    const qsizetype room = kMaxNameBytes - suffix.toUtf8().size();
    QString cut = stem;
    qsizetype bytes = cut.toUtf8().size();
    while (bytes > room && !cut.isEmpty()) {
        const qsizetype drop = cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1;
        bytes -= cut.right(drop).toUtf8().size();
        cut.chop(drop);
    }
    return cut + suffix;
}

bool GiveUsualMode(const QString& path) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QByteArray name = QFile::encodeName(path);
    return ::chmod(name.constData(), 0666 & ~mask) == 0;
}

}  // namespace vyn
