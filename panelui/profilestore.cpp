#include "panelui/profilestore.h"

#include <utility>

#include "gui/profile.h"
#include "gui/qtstrings.h"

namespace vyn {

namespace {

std::pair<QString, QString> SectionAndEntry(std::string_view name) {
    const std::size_t slash = name.find('/');
    if (slash == std::string_view::npos) return {QString(), FromUtf8(name)};
    return {FromUtf8(name.substr(0, slash)), FromUtf8(name.substr(slash + 1))};
}

}  // namespace

std::string CProfileStore::Read(std::string_view name) const {
    const auto [section, entry] = SectionAndEntry(name);
    return ToUtf8(CProfile::GetProfileString(section, entry));
}

bool CProfileStore::Write(std::string_view name, std::string_view text) {
    const auto [section, entry] = SectionAndEntry(name);
    return CProfile::WriteProfileString(section, entry, FromUtf8(text));
}

bool CProfileStore::Update(std::string_view name,
                           const std::function<std::string(const std::string&)>& change) {
    const auto [section, entry] = SectionAndEntry(name);
    return CProfile::UpdateProfileString(section, entry, [&change](const QString& stored) {
        return FromUtf8(change(ToUtf8(stored)));
    });
}

}  // namespace vyn
