#include "fuzz/fuzzinput.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace vyn::fuzz {

namespace {

struct Scratch {
    Scratch() {
        std::filesystem::path base = "/dev/shm";
        std::error_code error;
        if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
        path = base / ("vyn-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path, error);
        std::filesystem::create_directories(path);
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::filesystem::path path;
};

}  // namespace

const std::filesystem::path& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

}  // namespace vyn::fuzz
