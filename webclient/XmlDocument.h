// A thin layer over the platform's XML DOM (MSXML 6): load a document from
// text, walk it by simple relative paths, read texts and attributes, and write
// it out again. Documents with a DTD are refused and nothing external is ever
// fetched: replies come from the network.
#pragma once

#include <msxml2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ComPtr.h"

namespace vorlane {

class XmlNode {
public:
    explicit XmlNode(ComPtr<IXMLDOMNode> node) : node_(std::move(node)) {}

    std::wstring name() const;
    bool isElement() const;
    std::wstring text() const;

    // The first node the relative path selects, if any.
    std::optional<XmlNode> find(const std::wstring& path) const;
    // As find, but a missing node is a run-time error (91), as reading the
    // text of nothing is.
    XmlNode require(const std::wstring& path) const;
    // Every node the relative path selects, in document order.
    std::vector<XmlNode> selectAll(const std::wstring& path) const;

    std::optional<std::wstring> attribute(const std::wstring& name) const;

private:
    ComPtr<IXMLDOMNode> node_;
};

class XmlDocument {
public:
    // Creates an empty document; raises 429 when the parser is not available.
    XmlDocument();

    // Parses text; false when it is not a well-formed document.
    bool loadXml(const std::wstring& text);

    // The parser's code and reason for the last failed load.
    int32_t parseErrorCode() const;
    std::wstring parseErrorReason() const;

    // The document's first child node (no node is error 91).
    XmlNode firstChild() const;
    // The root element, whatever declaration, comment or instruction stands
    // before it (none is error 91).
    XmlNode rootElement() const;
    XmlNode asNode() const;

    // The document written out by the parser.
    std::wstring xml() const;

private:
    ComPtr<IXMLDOMDocument2> document_;
    bool refusedDtd_ = false;  // the last load was refused before parsing
};

}  // namespace vorlane
