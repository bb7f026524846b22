#include "builder/binaryio.h"

#include <fstream>

namespace vyn {

bool WriteBytes(const std::filesystem::path& path, const ByteString& bytes, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    if (file) file.close();
    if (!file) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace vyn
