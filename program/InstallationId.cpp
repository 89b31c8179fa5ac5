#include "InstallationId.h"

#include "UtilBox/Registry.h"
#include "UtilBox/TextHelpers.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace kalmora {

bool IsInstallationId(const std::string& text) {
    return text.size() == 8 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string GetInstallationId(const std::string& machineIdFile) {
    if (std::string id = Trim(ReadRegistryString("InstallationId")); IsInstallationId(id))
        return UpperCaseAscii(id);
    std::ifstream in(machineIdFile);
    std::string line;
    std::getline(in, line);
    std::string digits;
    for (unsigned char c : line) {
        if (std::isxdigit(c))
            digits += static_cast<char>(c);
        if (digits.size() == 8)
            return UpperCaseAscii(digits);
    }
    return {};
}

} // namespace kalmora
