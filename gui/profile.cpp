#include "gui/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

#include "gui/resources.h"

namespace vyn {

namespace {

// Another reader holds the lock for one read and write of the file.
constexpr int kLockWaitMs = 5000;

QString Key(const QString& section, const QString& entry) { return section + u'/' + entry; }

}  // namespace

QString CProfile::GetProfileString(const QString& section, const QString& entry,
                                   const QString& defaultValue) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromUtf8(kRegistryKey), AppName());
    return settings.value(Key(section, entry), defaultValue).toString();
}

bool CProfile::WriteProfileString(const QString& section, const QString& entry,
                                  const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromUtf8(kRegistryKey), AppName());
    settings.setValue(Key(section, entry), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool CProfile::UpdateProfileString(const QString& section, const QString& entry,
                                   const std::function<QString(const QString&)>& change) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromUtf8(kRegistryKey), AppName());
    // QSettings locks "<file>.lock" only while it writes; this lock spans the read too.
    const QFileInfo file(settings.fileName());
    if (!QDir().mkpath(file.absolutePath())) return false;
    QLockFile lock(file.absoluteFilePath() + QStringLiteral(".update-lock"));
    if (!lock.tryLock(kLockWaitMs)) return false;
    // What other readers wrote before the lock was had.
    settings.sync();
    const QString key = Key(section, entry);
    const QString stored = settings.value(key).toString();
    const QString value = change(stored);
    if (value == stored) return true;
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace vyn
