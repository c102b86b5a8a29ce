// The outline of an XML text as its markup gives it, without parsing it: where
// the root element starts and ends, what follows it, and whether a document
// type declaration stands before it. Comments, CDATA sections, processing
// instructions and quoted attribute values are stepped over whole, so
// markup-like text inside them counts for nothing. Whether the document is well
// formed is the parser's business.
#pragma once

#include <string_view>

namespace vorlane {

struct XmlOutline {
    // A document type declaration stands where one can: before the root element.
    bool documentTypeInProlog = false;
    // The root element has been closed (by an end tag or as an empty element).
    bool rootClosed = false;
    // The tag that closed it: an end tag, or the root's start tag when it is an
    // empty element.
    std::wstring_view rootClosingTag;
    // Nothing follows the root element but white space, comments and
    // processing instructions, each of them whole.
    bool onlyMiscAfterRoot = false;
    // Something follows the root element that no document holds there (text,
    // another element): no more of the text can make it a document.
    bool strayAfterRoot = false;

    // Every byte of the document is here: its root is closed and nothing else follows.
    bool whole() const { return rootClosed && onlyMiscAfterRoot; }
};

XmlOutline outlineXml(std::wstring_view text);

// Where the first thing that is neither white space, a comment nor a
// processing instruction begins in text, looking from `from`: text.size() when
// nothing does, npos while a comment or processing instruction is unended.
size_t pastMisc(std::wstring_view text, size_t from);

}  // namespace vorlane
