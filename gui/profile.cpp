#include "gui/profile.h"

#include <QSettings>

#include "gui/resources.h"

namespace vyn {

namespace {
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

}  // namespace vyn
