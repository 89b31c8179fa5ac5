#include "ManifestTrust.h"

#include "UtilBox/Registry.h"
#include "lmDebug/lmDebug.h"

#include <charconv>

namespace kalmora {
namespace {

constexpr std::string_view KeySeparators = " \t\r\n;";
constexpr std::string_view TimestampField = "timestamp:";

std::optional<std::uint64_t> DecimalNumber(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::vector<TMinisignKey> ParseSigningKeyList(std::string_view text) {
    std::vector<TMinisignKey> keys;
    for (std::size_t at = text.find_first_not_of(KeySeparators); at != std::string_view::npos;
         at = text.find_first_not_of(KeySeparators, at)) {
        const std::size_t end = std::min(text.find_first_of(KeySeparators, at), text.size());
        const std::string_view entry = text.substr(at, end - at);
        try {
            keys.push_back(ParseMinisignKey(entry));
        } catch (const ESignatureError& e) {
            throw ESignatureError("\"" + std::string(entry) + "\": " + e.Message());
        }
        at = end;
    }
    return keys;
}

TManifestTrust ReadManifestTrust(std::string& problem) {
    problem.clear();
    TManifestTrust trust;
    const std::string keysName(SigningKeysValue);
    const TMachineSetting keys = ReadMachineSetting(keysName);
    if (keys.UserValue)
        DebugLog("The per-user value " + keysName +
                     " is ignored: only the machine-wide one says whose updates are trusted",
                 {}, DebugFlags::Warning);
    if (!keys.Present)
        return trust;
    if (!keys.IsText) {
        problem = "setting " + keysName + ": not a text value";
        return trust;
    }
    try {
        trust.Keys = ParseSigningKeyList(keys.Text);
    } catch (const ESignatureError& e) {
        problem = "setting " + keysName + ": " + e.Message();
        return trust;
    }
    if (!trust.SignedMode())
        return trust;
    const std::string lastName(LastManifestTimestampValue);
    const TMachineSetting last = ReadMachineSetting(lastName);
    if (!last.Present)
        return trust;
    trust.LastTimestamp = last.IsText ? DecimalNumber(last.Text) : std::nullopt;
    if (!trust.LastTimestamp) {
        problem = "setting " + lastName + ": not a decimal number: " + last.Text;
        trust.Keys.clear();
    }
    return trust;
}

std::optional<std::uint64_t> TrustedCommentTimestamp(std::string_view trustedComment) {
    for (std::size_t at = 0; at <= trustedComment.size();) {
        const std::size_t end = std::min(trustedComment.find('\t', at), trustedComment.size());
        const std::string_view field = trustedComment.substr(at, end - at);
        if (field.starts_with(TimestampField))
            return DecimalNumber(field.substr(TimestampField.size()));
        at = end + 1;
    }
    return std::nullopt;
}

TManifestSignature VerifyManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                           const std::vector<TMinisignKey>& keys,
                                           std::optional<std::uint64_t> lastTimestamp) {
    const TMinisignVerified verified = VerifyMinisign(manifest, signatureFile, keys);
    const auto timestamp = TrustedCommentTimestamp(verified.TrustedComment);
    if (!timestamp)
        throw ESignatureError("no timestamp in the trusted comment: " + verified.TrustedComment);
    if (lastTimestamp && *timestamp < *lastTimestamp)
        throw ESignatureError("replayed manifest: its timestamp " + std::to_string(*timestamp) +
                              " is older than the recorded " + std::to_string(*lastTimestamp));
    return {verified.KeyId, *timestamp, verified.TrustedComment};
}

} // namespace kalmora
