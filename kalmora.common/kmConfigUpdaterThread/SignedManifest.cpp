#include "SignedManifest.h"

#include "UtilBox/FileHelpers.h"

namespace kalmora {
namespace {

bool IsNotFound(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EHttpError& e) {
        return e.StatusCode == 404;
    } catch (...) {
        return false;
    }
}

} // namespace

TManifest LoadSignedManifest(const std::string& manifestUrl, const std::string& workDir,
                             const TWorkEvent& onWork, const TManifestTrust& trust, std::uint64_t& timestamp,
                             const TFailureNote& noteFailure) {
    const std::string signatureUrl = manifestUrl + std::string(SignatureSuffix);
    std::string where = manifestUrl;
    try {
        const std::string manifest = FileToStr(DownloadManifest(manifestUrl, workDir, onWork));
        where = signatureUrl;
        std::string signature;
        try {
            signature = HttpGetString(signatureUrl, true, onWork);
        } catch (const EHttpError&) {
            if (!IsNotFound(std::current_exception()))
                throw;
            noteFailure(signatureUrl, "no signature: " + FailureReason(std::current_exception()));
            return nullptr;
        }
        const TManifestSignature accepted =
            VerifyManifestSignature(manifest, signature, trust.Keys, trust.LastTimestamp);
        TManifest parsed = ParseManifestBytes(manifest, true);
        if (!parsed) {
            noteFailure(manifestUrl, "not a well-formed manifest");
            return nullptr;
        }
        timestamp = accepted.Timestamp;
        return parsed;
    } catch (const EAbort&) {
        return nullptr; // cancelled: no failure of the server
    } catch (const ESignatureError& e) {
        noteFailure(signatureUrl, e.Message());
    } catch (...) {
        // A manifest answered 404 is the normal "seeds only" case, with nothing to verify.
        if (where != manifestUrl || !IsNotFound(std::current_exception()))
            noteFailure(where, FailureReason(std::current_exception()));
    }
    return nullptr;
}

} // namespace kalmora
