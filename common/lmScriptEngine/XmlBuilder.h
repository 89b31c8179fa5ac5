#pragma once

// The small XML builder that scripts use: a counted document and counted element nodes over libxml2. A node
// keeps its document alive. Used on one thread at a time.

#include "lmInterfaces/lmInterfaces.h"

#include <string>

namespace kalmora {

class IXmlNode : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{395950C0-7E5D-11D4-83DA-00C04F60B2DD}");

    // Appends a child element after the existing children and returns it.
    virtual TIntfRef<IXmlNode> AddChild(const std::string& name) = 0;
    virtual void SetAttribute(const std::string& name, const std::string& value) = 0;
    // The node value: replaces the element's content by the text.
    virtual void SetText(const std::string& value) = 0;
    virtual std::string NodeName() const = 0;
    virtual std::string Text() const = 0;
};

class IXmlDocument : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{395950C3-7E5D-11D4-83DA-00C04F60B2DD}");

    // Adds the root element; a document has only one.
    virtual TIntfRef<IXmlNode> AddChild(const std::string& name) = 0;
    // Writes the document with the declaration (version "1.0", encoding "UTF-8"), indented.
    virtual void SaveToFile(const std::string& fileName) = 0;
    virtual std::string SaveToText() = 0;
};

// A new, empty document with version "1.0" and encoding "UTF-8" whose children are indented when saved.
TIntfRef<IXmlDocument> NewXmlDocument();

} // namespace kalmora
