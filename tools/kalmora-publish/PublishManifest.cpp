#include "PublishManifest.h"

#include "ArchiveCheck.h"
#include "UtilBox/FileHelpers.h"
#include "fs/FileSystem.h"
#include "fs/Folders.h"
#include "lmSignature/Sha256.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

namespace kalmora::publish {

namespace {

constexpr std::array<const char*, 3> Kinds = {"dev", "partner", "patch"};
constexpr const char* ManifestName = "configinfo.xml";

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

const TKindDate* DateOf(const std::vector<TKindDate>& dates, const std::string& kind) {
    auto it = std::find_if(dates.begin(), dates.end(), [&](const TKindDate& d) { return d.Kind == kind; });
    return it == dates.end() ? nullptr : &*it;
}

struct TPackageEntry {
    std::string kind, date, name, sha256;
    std::uint64_t size = 0;
};

std::string ManifestText(const std::vector<TPackageEntry>& entries) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kmconfig>\n";
    for (const auto& e : entries)
        xml << "  <" << e.kind << ">\n"
            << "    <date>" << XmlText(e.date) << "</date>\n"
            << "    <url>#KMCONFIGDIR#" << e.name << "</url>\n"
            << "    <sha256>" << e.sha256 << "</sha256>\n"
            << "    <size>" << e.size << "</size>\n"
            << "  </" << e.kind << ">\n";
    xml << "</kmconfig>\n";
    return xml.str();
}

// The web server reads the manifest as another user, so it is made readable for all.
int WriteReadable(const std::string& dir, const std::string& text) {
    fs::TFileDescriptor folder = fs::OpenDirectory(dir);
    if (!folder.IsOpen())
        return errno;
    return fs::WriteFileAtomically(folder.Get(), ManifestName, fs::TemporarySiblingName(ManifestName),
                                   fs::TReplace::Existing, true, [&text](int fd) {
                                       if (::fchmod(fd, 0644) != 0)
                                           return errno;
                                       return fs::WriteAll(fd, text.data(), text.size());
                                   });
}

} // namespace

std::string DateTextProblem(const std::string& date) {
    if (date.empty())
        return "empty";
    for (unsigned char c : date)
        if (c < 0x20 || c == 0x7F)
            return "holds a control character";
    if (date.front() == ' ' || date.back() == ' ')
        return "begins or ends with a blank, which the clients drop";
    return {};
}

std::vector<std::string> PublishManifest(const std::string& dir, const std::vector<TKindDate>& dates,
                                         const std::optional<std::string>& password) {
    const std::string folder = AddTrailingBackslash(dir);
    std::vector<std::string> faults;
    std::vector<TPackageEntry> entries;
    for (const char* kind : Kinds) {
        const TKindDate* date = DateOf(dates, kind);
        const std::string name = std::string(kind) + ".zip";
        const std::string file = folder + name;
        struct stat st {};
        const bool present = ::stat(file.c_str(), &st) == 0;
        if (!date) {
            if (present)
                faults.push_back(file + ": no --date " + kind + "=DATE given for it");
            continue;
        }
        if (!present || !S_ISREG(st.st_mode)) {
            faults.push_back(file + ": " + (present ? "not a regular file" : std::strerror(errno)));
            continue;
        }
        for (const auto& fault : CheckPackageArchive(file, kind, password))
            faults.push_back(file + ": " + fault);
        entries.push_back(
            {kind, date->Date, name, Sha256OfFile(file), static_cast<std::uint64_t>(st.st_size)});
    }
    if (!faults.empty())
        return faults;
    if (int error = WriteReadable(folder, ManifestText(entries)); error != 0)
        return {folder + ManifestName + ": cannot be written: " + std::strerror(error)};
    return {};
}

} // namespace kalmora::publish
