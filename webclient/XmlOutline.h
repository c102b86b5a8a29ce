// The outline of an XML text as its markup gives it, without parsing it: where
// the root element starts and ends, and whether a document type declaration
// stands before it. Comments, CDATA sections, processing instructions and quoted
// attribute values are stepped over whole, so markup-like text inside them counts
// for nothing. Whether the document is well formed is the parser's business.
#pragma once

#include <string_view>

namespace vorlane {

struct XmlOutline {
    // A document type declaration stands where one can: before the root element.
    bool documentTypeInProlog = false;
    // The root element has been closed (by its end tag or as an empty element).
    bool rootClosed = false;
    // Nothing but white space follows the root element.
    bool onlySpaceAfterRoot = false;

    // Every byte of the document is here: its root is closed and nothing else follows.
    bool whole() const { return rootClosed && onlySpaceAfterRoot; }
};

XmlOutline outlineXml(std::wstring_view text);

}  // namespace vorlane
