#include "builder/readfault.h"

namespace vyn {

void FailAt(std::string_view file, std::uint64_t line, const std::string& message) {
    throw Fault{std::string(file) + ":" + std::to_string(line) + ": " + message};
}

void FailFile(std::string_view file, const std::string& message) {
    throw Fault{std::string(file) + ": " + message};
}

std::string Grouped(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace vyn
