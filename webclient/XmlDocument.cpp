// The layer over the platform's XML DOM: loading, walking and writing documents.
#include "webclient/XmlDocument.h"

#include <objbase.h>

#include "core/Bstr.h"
#include "core/RuntimeError.h"
#include "webclient/XmlOutline.h"

namespace vorlane {

namespace {

// Not exported by this toolchain's import libraries.
const IID kIID_IXMLDOMDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIID_IXMLDOMElement = {0x2933bf86, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

constexpr const wchar_t* kSource = L"modXML";

// Our own code for a refused document type declaration (the parser's "DTD is
// prohibited"); some parsers ignore the property that should refuse them.
constexpr int32_t kDtdProhibited = static_cast<int32_t>(0xC00CE5A9);
constexpr const wchar_t* kDtdProhibitedReason = L"DTD is prohibited.";

void check(HRESULT hr) {
    if (FAILED(hr)) raiseError(errnum::AutomationError, kSource);
}

void setProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
    Bstr property(name);
    // Older parsers do not know every property; a missing one is no reason to fail.
    document->setProperty(property.get(), value);
}

VARIANT boolValue(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

}  // namespace

std::wstring XmlNode::name() const {
    Bstr name;
    check(node_->get_nodeName(name.put()));
    return name.str();
}

bool XmlNode::isElement() const {
    DOMNodeType type = NODE_INVALID;
    check(node_->get_nodeType(&type));
    return type == NODE_ELEMENT;
}

std::wstring XmlNode::text() const {
    Bstr text;
    check(node_->get_text(text.put()));
    return text.str();
}

std::optional<XmlNode> XmlNode::find(const std::wstring& path) const {
    Bstr query(path);
    ComPtr<IXMLDOMNode> found;
    const HRESULT hr = node_->selectSingleNode(query.get(), found.put());
    check(hr);
    if (hr == S_FALSE || !found) return std::nullopt;
    return XmlNode(std::move(found));
}

XmlNode XmlNode::require(const std::wstring& path) const {
    auto found = find(path);
    if (!found) raiseError(errnum::ObjectNotSet, kSource);
    return std::move(*found);
}

std::vector<XmlNode> XmlNode::selectAll(const std::wstring& path) const {
    Bstr query(path);
    ComPtr<IXMLDOMNodeList> list;
    check(node_->selectNodes(query.get(), list.put()));
    std::vector<XmlNode> nodes;
    long count = 0;
    if (list) check(list->get_length(&count));
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> item;
        check(list->get_item(i, item.put()));
        if (item) nodes.emplace_back(std::move(item));
    }
    return nodes;
}

std::optional<std::wstring> XmlNode::attribute(const std::wstring& name) const {
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node_->QueryInterface(kIID_IXMLDOMElement, element.putVoid())) || !element) return std::nullopt;
    Bstr attributeName(name);
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = element->getAttribute(attributeName.get(), &value);
    check(hr);
    std::optional<std::wstring> text;
    if (hr == S_OK && value.vt == VT_BSTR) text = std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
}

XmlDocument::XmlDocument() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIID_IXMLDOMDocument2, document_.putVoid())))
        raiseError(errnum::CannotCreateObject, kSource);

    document_->put_async(VARIANT_FALSE);
    document_->put_validateOnParse(VARIANT_FALSE);
    document_->put_resolveExternals(VARIANT_FALSE);
    setProperty(document_.get(), L"ProhibitDTD", boolValue(true));
    setProperty(document_.get(), L"AllowXsltScript", boolValue(false));
    setProperty(document_.get(), L"AllowDocumentFunction", boolValue(false));
    VARIANT xpath;
    VariantInit(&xpath);
    xpath.vt = VT_BSTR;
    xpath.bstrVal = SysAllocString(L"XPath");
    setProperty(document_.get(), L"SelectionLanguage", xpath);
    VariantClear(&xpath);
}

bool XmlDocument::loadXml(const std::wstring& text) {
    refusedDtd_ = outlineXml(text).documentTypeInProlog;
    if (refusedDtd_) return false;
    Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document_->loadXML(source.get(), &loaded);
    return SUCCEEDED(hr) && loaded == VARIANT_TRUE;
}

int32_t XmlDocument::parseErrorCode() const {
    if (refusedDtd_) return kDtdProhibited;
    ComPtr<IXMLDOMParseError> error;
    long code = 0;
    if (SUCCEEDED(document_->get_parseError(error.put())) && error) error->get_errorCode(&code);
    return static_cast<int32_t>(code);
}

std::wstring XmlDocument::parseErrorReason() const {
    if (refusedDtd_) return kDtdProhibitedReason;
    ComPtr<IXMLDOMParseError> error;
    Bstr reason;
    if (SUCCEEDED(document_->get_parseError(error.put())) && error) error->get_reason(reason.put());
    return reason.str();
}

XmlNode XmlDocument::firstChild() const {
    ComPtr<IXMLDOMNode> child;
    check(document_->get_firstChild(child.put()));
    if (!child) raiseError(errnum::ObjectNotSet, kSource);
    return XmlNode(std::move(child));
}

XmlNode XmlDocument::rootElement() const {
    ComPtr<IXMLDOMElement> element;
    check(document_->get_documentElement(element.put()));
    if (!element) raiseError(errnum::ObjectNotSet, kSource);
    ComPtr<IXMLDOMNode> node;
    check(element->QueryInterface(IID_IXMLDOMNode, node.putVoid()));
    return XmlNode(std::move(node));
}

XmlNode XmlDocument::asNode() const {
    ComPtr<IXMLDOMNode> node;
    check(document_->QueryInterface(IID_IXMLDOMNode, node.putVoid()));
    return XmlNode(std::move(node));
}

std::wstring XmlDocument::xml() const {
    Bstr text;
    check(document_->get_xml(text.put()));
    return text.str();
}

}  // namespace vorlane
