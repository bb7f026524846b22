#include "gui/platform.h"

#include <QCoreApplication>

namespace vyn {

namespace {
QString& Override() {
    static QString folder;
    return folder;
}
QString& DataOverride() {
    static QString folder;
    return folder;
}
}  // namespace

QString ExecutableFolder() {
    if (!Override().isEmpty()) return Override();
    return QCoreApplication::applicationDirPath();
}

QString FileBesideExecutable(const QString& name) { return ExecutableFolder() + u'/' + name; }

void OverrideExecutableFolder(const QString& folder) { Override() = folder; }

QString DataFolder() { return DataOverride().isEmpty() ? ExecutableFolder() : DataOverride(); }

void SetDataFolder(const QString& folder) { DataOverride() = folder; }

}  // namespace vyn
