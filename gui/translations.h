// Qt's own texts in Japanese: standard context menus, print, page setup, preview and
// file dialogs.
#pragma once

namespace vyn {

// Installs Qt's Japanese translations ("qtbase_ja.qm" from Qt's translations folder)
// into the application, whatever the user's locale, once per process. Requires a
// QCoreApplication. False when the file is missing or unreadable; Qt's texts then
// stay English.
bool InstallQtTranslations();

}  // namespace vyn
