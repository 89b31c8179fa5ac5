#include "Translation.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <libintl.h>
#include <unistd.h>

namespace kalmora {
namespace {

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

std::string FindCatalogueFolder() {
    auto bin = ProgramFolder();
    if (bin.empty())
        return {};
    // Installed: PREFIX/bin/../share/locale. Build tree: build/bin or build/tests, both beside build/locale.
    for (auto candidate : {bin.parent_path() / "share" / "locale", bin.parent_path() / "locale"}) {
        std::error_code ec;
        if (std::filesystem::is_directory(candidate, ec))
            return candidate.string();
    }
    return {};
}

} // namespace

void InitTranslation(const std::string& localeDir) {
    // gettext ignores LANGUAGE in the plain "C" locale; a user who names a language without setting a locale
    // still gets it. Only the messages category is touched: number formats stay the program's own.
    const char* current = std::setlocale(LC_MESSAGES, "");
    const char* language = std::getenv("LANGUAGE");
    if ((!current || std::string_view(current) == "C" || std::string_view(current) == "POSIX") && language &&
        *language)
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    std::string folder = localeDir.empty() ? FindCatalogueFolder() : localeDir;
    std::string domain(TextDomain);
    if (!folder.empty())
        bindtextdomain(domain.c_str(), folder.c_str());
    bind_textdomain_codeset(domain.c_str(), "UTF-8");
    textdomain(domain.c_str());
}

std::string Translate(std::string_view germanText) {
    if (germanText.empty())
        return {}; // gettext("") is the catalogue's header
    std::string id(germanText);
    return dgettext(std::string(TextDomain).c_str(), id.c_str());
}

} // namespace kalmora
