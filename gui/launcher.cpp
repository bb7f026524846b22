#include "gui/launcher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace vyn {

bool StartCompanion(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return false;
    return QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
}

bool OpenWithDefaultHandler(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

}  // namespace vyn
