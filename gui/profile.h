// CProfile: the reader's persisted settings, an INI file under the user's
// configuration folder: organisation "Local AppWizard-Generated Applications",
// application the application name, then section and entry.
#pragma once

#include <QString>
#include <functional>

namespace vyn {

// Several readers may share the file. Each write replaces only its own entry: under
// its own lock QSettings reads the file again when its size or time changed and
// merges the entry into it, so what another reader wrote to other entries stays.
class CProfile {
public:
    // The value of section/entry as the file holds it now, or defaultValue when there
    // is none.
    static QString GetProfileString(const QString& section, const QString& entry,
                                    const QString& defaultValue = {});
    // Writes section/entry and flushes; false when the file could not be written.
    static bool WriteProfileString(const QString& section, const QString& entry,
                                   const QString& value);
    // Replaces section/entry with change(its value as the file holds it now), holding
    // a lock that every reader's UpdateProfileString takes, so that no other update
    // of the file comes between the read and the write; writes only when the value
    // changed. False, nothing called, when the lock could not be had within a few
    // seconds; false also when the file could not be written.
    static bool UpdateProfileString(const QString& section, const QString& entry,
                                    const std::function<QString(const QString&)>& change);
};

}  // namespace vyn
