#include "XmlBuilder.h"

#include "runtime/Exceptions.h"

#include <cerrno>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <memory>
#include <mutex>
#include <new>

namespace kalmora {
namespace {

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

class EXmlError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EDOMParseError"; }
};

const xmlChar* Xml(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

void CheckName(const std::string& name) {
    if (name.find('\0') != std::string::npos || xmlValidateName(Xml(name), 0) != 0)
        throw EXmlError("Invalid XML name: \"" + name + "\"");
}

class TXmlDocument;

class TXmlNode : public TInterfacedObject, public IXmlNode {
public:
    TXmlNode(TIntfRef<TXmlDocument> document, xmlNode* node) : FDocument(std::move(document)), FNode(node) {}

    TIntfRef<IXmlNode> AddChild(const std::string& name) override;
    void SetAttribute(const std::string& name, const std::string& value) override {
        CheckName(name);
        if (!xmlSetProp(FNode, Xml(name), Xml(value)))
            throw std::bad_alloc();
    }
    void SetText(const std::string& value) override {
        // Added as raw text, so "&" and "<" in it are escaped on saving rather than read as markup.
        xmlNodeSetContent(FNode, nullptr);
        xmlNodeAddContent(FNode, Xml(value));
    }
    std::string NodeName() const override { return reinterpret_cast<const char*>(FNode->name); }
    std::string Text() const override {
        std::unique_ptr<xmlChar, decltype(xmlFree)> content(xmlNodeGetContent(FNode), xmlFree);
        return content ? reinterpret_cast<const char*>(content.get()) : "";
    }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IXmlNode::IID) || TInterfacedObject::Implements(iid);
    }

private:
    TIntfRef<TXmlDocument> FDocument;
    xmlNode* FNode;
};

class TXmlDocument : public TInterfacedObject, public IXmlDocument {
public:
    TXmlDocument() : FDoc(xmlNewDoc(Xml("1.0"))) {
        if (!FDoc)
            throw std::bad_alloc();
        FDoc->encoding = xmlStrdup(Xml("UTF-8"));
    }

    TIntfRef<IXmlNode> AddChild(const std::string& name) override {
        CheckName(name);
        if (xmlDocGetRootElement(FDoc.get()))
            throw EXmlError("Only one top level element is allowed in an XML document");
        xmlNode* root = xmlNewDocNode(FDoc.get(), nullptr, Xml(name), nullptr);
        if (!root)
            throw std::bad_alloc();
        xmlDocSetRootElement(FDoc.get(), root);
        return Make<TXmlNode>(TIntfRef<TXmlDocument>(this), root);
    }

    void SaveToFile(const std::string& fileName) override {
        if (xmlSaveFormatFileEnc(fileName.c_str(), FDoc.get(), "UTF-8", 1) < 0)
            throw EInOutError::FromErrno("Cannot write XML document", fileName, errno);
    }

    std::string SaveToText() override {
        xmlChar* buffer = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(FDoc.get(), &buffer, &size, "UTF-8", 1);
        std::unique_ptr<xmlChar, decltype(xmlFree)> owned(buffer, xmlFree);
        if (!buffer)
            throw std::bad_alloc();
        return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
    }

protected:
    bool Implements(const TGUID& iid) const noexcept override {
        return SameGuid(iid, IXmlDocument::IID) || TInterfacedObject::Implements(iid);
    }

private:
    std::unique_ptr<xmlDoc, XmlDocDeleter> FDoc;
};

TIntfRef<IXmlNode> TXmlNode::AddChild(const std::string& name) {
    CheckName(name);
    xmlNode* child = xmlNewDocNode(FNode->doc, nullptr, Xml(name), nullptr);
    if (!child || !xmlAddChild(FNode, child)) {
        xmlFreeNode(child);
        throw std::bad_alloc();
    }
    return Make<TXmlNode>(FDocument, child);
}

} // namespace

TIntfRef<IXmlDocument> NewXmlDocument() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    return Make<TXmlDocument>();
}

} // namespace kalmora
