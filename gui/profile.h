// CProfile: the reader's persisted settings, an INI file under the user's
// configuration folder: organisation "Local AppWizard-Generated Applications",
// application the application name, then section and entry.
#pragma once

#include <QString>

namespace vyn {

class CProfile {
public:
    // The value of section/entry, or defaultValue when there is none.
    static QString GetProfileString(const QString& section, const QString& entry,
                                    const QString& defaultValue = {});
    // Writes section/entry and flushes; false when the file could not be written.
    static bool WriteProfileString(const QString& section, const QString& entry,
                                   const QString& value);
};

}  // namespace vyn
