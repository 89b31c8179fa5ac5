#include "PublishVerify.h"

#include "ArchiveCheck.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"
#include "WorkFolder.h"
#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "kmConfigUpdaterThread/PackageCheck.h"
#include "lmWeb/lmWeb.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace kalmora::publish {

namespace {

constexpr const char* ManifestName = "configinfo.xml";
// In a folder the placeholder stands for the folder; the updater's URL rules need an http base to stand in.
constexpr const char* FolderStandIn = "http://folder.invalid/kmdata/kmconfig/";

bool IsUrl(const std::string& source) {
    return source.starts_with("http://") || source.starts_with("https://");
}

// Reads one published file as the updater receives it: from the server, or from the folder.
class TPublication {
public:
    explicit TPublication(const std::string& source)
        : FUrl(IsUrl(source)), FBase(FUrl ? source : AddTrailingBackslash(source)) {}

    std::string Name(const std::string& file) const { return FBase + file; }
    std::string Read(const std::string& file) const {
        return FUrl ? HttpGetString(Name(file), true) : FileToStr(Name(file));
    }
    // What #KMCONFIGDIR# becomes for this publication.
    std::string PlaceholderBase() const { return FUrl ? FBase : FolderStandIn; }
    // The folder's file a package URL names, empty for a URL to fetch.
    std::string LocalFile(const std::string& url) const {
        if (FUrl || !url.starts_with(FolderStandIn))
            return {};
        return FBase + url.substr(std::string_view(FolderStandIn).size());
    }

private:
    bool FUrl;
    std::string FBase;
};

std::string Reason() {
    auto error = DescribeException(std::current_exception());
    return error.message;
}

// Checks one kind's package as the updater would before installing it.
void VerifyKind(const std::string& kind, const TManifest& manifest, const TPublication& publication,
                const std::string& workDir, const std::optional<std::string>& password,
                TVerifyReport& report) {
    TManifestEntry entry;
    try {
        entry = ReadManifestEntry(manifest, kind);
    } catch (...) {
        report.Faults.push_back(publication.Name(ManifestName) + ": " + kind + ": " + Reason());
        return;
    }
    if (entry.Date.empty() || entry.Url.empty()) {
        report.Lines.push_back(kind + ": not offered");
        return;
    }
    if (entry.Sha256.empty()) {
        report.Faults.push_back(publication.Name(ManifestName) + ": no sha256 for " + kind +
                                " in the signed manifest");
        return;
    }
    std::string file = publication.LocalFile(entry.Url);
    const std::string shown = file.empty() ? entry.Url : file;
    try {
        const TPackageDigest digest = ParsePackageDigest(entry.Sha256, entry.Size);
        if (file.empty()) {
            file = workDir + kind + ".zip";
            TPackageCheck check(digest);
            HttpGetFile(entry.Url, file, {}, THttpLimits{}, &check);
        } else {
            CheckPackageFile(file, digest);
        }
    } catch (...) {
        report.Faults.push_back(shown + ": " + Reason());
        return;
    }
    const auto faults = CheckPackageArchive(file, kind, password);
    for (const auto& fault : faults)
        report.Faults.push_back(shown + ": " + fault);
    std::ostringstream line;
    line << kind << ": " << entry.Date << ", " << std::filesystem::file_size(file) << " bytes, sha256 "
         << LowerCaseAscii(entry.Sha256) << ": "
         << (faults.empty() ? "unpacks cleanly" : "does not unpack cleanly");
    report.Lines.push_back(line.str());
}

} // namespace

TMinisignKey ReadPublicKey(const std::string& keyOrFile) {
    if (keyOrFile.find('/') == std::string::npos && !keyOrFile.ends_with(".pub"))
        return ParseMinisignKey(keyOrFile);
    // A ".pub" file: an untrusted comment, then the key.
    std::istringstream lines(FileToStr(keyOrFile));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    return ParseMinisignKey(Trim(line));
}

TVerifyReport VerifyPublication(const std::string& source, const std::vector<TMinisignKey>& keys,
                                const std::optional<std::string>& password) {
    TVerifyReport report;
    const TPublication publication(source);
    // Package URLs follow the updater's own placeholder rule, with this publication as the base.
    ::setenv("KALMORA_CONFIG_BASE_URL", publication.PlaceholderBase().c_str(), 1);
    if (std::string problem = ConfigBaseUrlProblem(); !problem.empty())
        return {{}, {source + ": not a base URL of the form http[s]://HOST[:PORT]/.../kmdata/kmconfig/"}};

    std::string manifestBytes, signature;
    try {
        manifestBytes = publication.Read(ManifestName);
    } catch (...) {
        return {{}, {publication.Name(ManifestName) + ": " + Reason()}};
    }
    const std::string signatureName = ManifestName + std::string(SignatureSuffix);
    try {
        signature = publication.Read(signatureName);
        auto verified = VerifyManifestSignature(manifestBytes, signature, keys, std::nullopt);
        report.Lines.push_back("signature: key " + MinisignKeyIdText(verified.KeyId) + ", timestamp " +
                               std::to_string(verified.Timestamp));
    } catch (...) {
        return {{}, {publication.Name(signatureName) + ": " + Reason()}};
    }
    TManifest manifest = ParseManifestBytes(manifestBytes, true);
    if (!manifest)
        return {report.Lines, {publication.Name(ManifestName) + ": not a well-formed manifest"}};
    TWorkFolder work;
    for (const char* kind : {"dev", "partner", "patch"})
        VerifyKind(kind, manifest, publication, work.Path + "/", password, report);
    return report;
}

} // namespace kalmora::publish
