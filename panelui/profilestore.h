// CProfileStore: the reading session's store in the reader's profile (CProfile).
#pragma once

#include <string>
#include <string_view>

#include "panel/sessionstore.h"

namespace vyn {

// Entry "Section/Entry" is the profile's entry Entry of section Section (a name
// without "/" an entry of no section), its text the value. Every read and write goes
// to the profile file, which other readers may share: Update holds the profile's
// update lock (CProfile::UpdateProfileString). User-interface thread only.
class CProfileStore : public CSessionStore {
public:
    std::string Read(std::string_view name) const override;
    bool Write(std::string_view name, std::string_view text) override;
    bool Update(std::string_view name, const std::function<std::string(const std::string&)>& change) override;
};

}  // namespace vyn
