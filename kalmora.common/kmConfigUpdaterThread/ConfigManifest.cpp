#include "ConfigManifest.h"

#include "UpdateReport.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/TextHelpers.h"

#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <mutex>

namespace kalmora {

namespace {

constexpr std::string_view Placeholder = "#KMCONFIGDIR#";
// A manifest is a few hundred bytes; anything this large is not one, and it is not written to disk whole.
constexpr std::int64_t ManifestSizeLimit = 4 * 1024 * 1024;

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TXmlDoc = std::unique_ptr<xmlDoc, XmlDocDeleter>;

struct XmlParserDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using TXmlParser = std::unique_ptr<xmlParserCtxt, XmlParserDeleter>;

void InitXmlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// Called by the parser at a document type declaration, before any of its declarations are read.
void RefuseDocumentType(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* context = static_cast<xmlParserCtxtPtr>(userData);
    *static_cast<bool*>(context->_private) = true;
    xmlStopParser(context);
}

std::string_view TextOf(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Whitespace-only text is not kept by the loader, so it counts as absent everywhere.
bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE)
        return false;
    for (char c : TextOf(node->content))
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    return true;
}

std::string_view NamespaceOf(const xmlNode* node) {
    return node->ns ? TextOf(node->ns->href) : std::string_view();
}

bool NameMatches(const xmlNode* node, const xmlNode* parent, std::string_view name) {
    if (node->type != XML_ELEMENT_NODE || NamespaceOf(node) != NamespaceOf(parent))
        return false;
    std::string_view local = TextOf(node->name);
    if (local == name)
        return true;
    if (!node->ns || !node->ns->prefix)
        return false;
    std::string qualified = std::string(TextOf(node->ns->prefix)) + ":" + std::string(local);
    return qualified == name;
}

const xmlNode* FirstChildNamed(const xmlNode* parent, std::string_view name) {
    for (const xmlNode* child = parent->children; child; child = child->next)
        if (NameMatches(child, parent, name))
            return child;
    return nullptr;
}

// The trimmed text of the first child element `name` of `parent`; "" when there is none or it is empty.
std::string ChildText(const xmlNode* parent, std::string_view name, std::string_view kind) {
    const xmlNode* element = FirstChildNamed(parent, name);
    if (!element)
        return {};
    const xmlNode* text = nullptr;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (IsBlankText(child))
            continue;
        bool isText = child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE;
        if (!isText || text)
            throw EManifestError("The element \"" + std::string(name) + "\" of \"" + std::string(kind) +
                                 "\" in the configuration manifest holds more than one text");
        text = child;
    }
    return text ? Trim(TextOf(text->content)) : std::string();
}

} // namespace

class TManifestDocument {
public:
    TManifestDocument(TXmlDoc doc, bool signedManifest) : FDoc(std::move(doc)), FSigned(signedManifest) {}
    const xmlNode* Root() const { return xmlDocGetRootElement(FDoc.get()); }
    bool Signed() const { return FSigned; }

private:
    TXmlDoc FDoc;
    bool FSigned;
};

namespace {

// read parses with the prepared context and the fixed options; the document is refused as a whole when it
// has a document type declaration or is not well-formed.
void IgnoreXmlMessage(void*, const char*, ...) {}
void IgnoreXmlError(void*, xmlErrorPtr) {}

// libxml2 prints some faults (encoding errors among them) through its per-thread handlers whatever the
// parser options say; a hostile manifest must not write to the program's stderr.
class TQuietXmlErrors {
public:
    TQuietXmlErrors() {
        xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage);
        xmlSetStructuredErrorFunc(nullptr, IgnoreXmlError);
    }
    ~TQuietXmlErrors() {
        xmlSetGenericErrorFunc(nullptr, nullptr);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
    }
    TQuietXmlErrors(const TQuietXmlErrors&) = delete;
    TQuietXmlErrors& operator=(const TQuietXmlErrors&) = delete;
};

template <class TRead> TManifest ParseManifest(TRead read, bool signedManifest) {
    InitXmlOnce();
    TQuietXmlErrors quiet;
    TXmlParser parser(xmlNewParserCtxt());
    if (!parser || !parser->sax)
        return nullptr;
    bool refused = false;
    parser->sax->internalSubset = RefuseDocumentType;
    parser->_private = &refused;
    // No XML_PARSE_NOENT and no DTD loading: entities are never substituted and nothing outside is read.
    TXmlDoc doc(read(parser.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc || refused || !parser->wellFormed || !xmlDocGetRootElement(doc.get()))
        return nullptr;
    return std::make_shared<const TManifestDocument>(std::move(doc), signedManifest);
}

} // namespace

TManifest ParseManifestFile(const std::string& fileName) {
    return ParseManifest(
        [&fileName](xmlParserCtxt* parser, int options) {
            return xmlCtxtReadFile(parser, fileName.c_str(), nullptr, options);
        },
        false);
}

TManifest ParseManifestBytes(std::string_view bytes, bool signedManifest) {
    if (bytes.size() > static_cast<std::size_t>(ManifestSizeLimit))
        return nullptr;
    return ParseManifest(
        [bytes](xmlParserCtxt* parser, int options) {
            return xmlCtxtReadMemory(parser, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                     options);
        },
        signedManifest);
}

bool IsSignedManifest(const TManifest& manifest) {
    return manifest && manifest->Signed();
}

std::string DownloadManifest(const std::string& manifestUrl, const std::string& workDir,
                             const TWorkEvent& onWork) {
    std::string localFile = AddTrailingBackslash(workDir) + LastUrlSegment(manifestUrl);
    HttpGetFile(manifestUrl, localFile, [&onWork](void* sender, TWorkMode mode, std::int64_t count) {
        if (count > ManifestSizeLimit)
            throw EManifestError("The configuration manifest is too large");
        if (onWork)
            onWork(sender, mode, count);
    });
    return localFile;
}

TManifest LoadManifest(const std::string& manifestUrl, const std::string& workDir, const TWorkEvent& onWork,
                       const std::function<void(const std::string& reason)>& noteFailure) {
    auto note = [&noteFailure](const std::string& reason) {
        if (noteFailure)
            noteFailure(reason);
    };
    try {
        TManifest manifest = ParseManifestFile(DownloadManifest(manifestUrl, workDir, onWork));
        if (!manifest)
            note("not a well-formed manifest");
        return manifest;
    } catch (const EAbort&) {
        // Cancelled: the caller knows, and a cancel is no failure of the server.
        return nullptr;
    } catch (const EHttpError& e) {
        // 404: the server offers no manifest, and the run installs the seeds only; that is no failure.
        if (e.StatusCode != 404)
            note(FailureReason(std::current_exception()));
        return nullptr;
    } catch (...) {
        // Without a manifest the run goes on with seed packages only; the caller reports why.
        note(FailureReason(std::current_exception()));
        return nullptr;
    }
}

namespace {

const xmlNode* KindElement(const TManifest& manifest, const std::string& kind) {
    const xmlNode* root = manifest ? manifest->Root() : nullptr;
    return root ? FirstChildNamed(root, kind) : nullptr;
}

} // namespace

void ReadManifestEntry(const TManifest& manifest, const std::string& kind, std::string& date,
                       std::string& url) {
    date.clear();
    url.clear();
    const xmlNode* entry = KindElement(manifest, kind);
    if (!entry)
        return;
    date = ChildText(entry, "date", kind);
    url = ChildText(entry, "url", kind);
    if (url.find(Placeholder) != std::string::npos) {
        auto at = LowerCaseAscii(url).find(LowerCaseAscii(Placeholder));
        url.replace(at, Placeholder.size(), ConfigBaseUrl());
    }
}

TManifestEntry ReadManifestEntry(const TManifest& manifest, const std::string& kind) {
    TManifestEntry result;
    ReadManifestEntry(manifest, kind, result.Date, result.Url);
    if (const xmlNode* entry = KindElement(manifest, kind)) {
        result.Sha256 = ChildText(entry, "sha256", kind);
        result.Size = ChildText(entry, "size", kind);
    }
    return result;
}

} // namespace kalmora
