// The outline of an XML text: where its root starts and ends, and a document type before it.
#include "webclient/XmlOutline.h"

#include <algorithm>
#include <cwctype>

namespace vorlane {

namespace {

constexpr size_t kOpen = std::wstring_view::npos;  // a construct whose end has not arrived

bool isXmlSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool startsAt(std::wstring_view text, size_t at, std::wstring_view prefix) {
    return text.substr(at, prefix.size()) == prefix;
}

bool startsAtIgnoringCase(std::wstring_view text, size_t at, std::wstring_view lowerPrefix) {
    const std::wstring_view head = text.substr(at, lowerPrefix.size());
    return head.size() == lowerPrefix.size() &&
           std::equal(head.begin(), head.end(), lowerPrefix.begin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == b; });
}

// Just past the first `closing` from `from`.
size_t pastText(std::wstring_view text, size_t from, std::wstring_view closing) {
    const size_t at = text.find(closing, from);
    return at == kOpen ? kOpen : at + closing.size();
}

// Just past the ">" that ends a tag or declaration: one outside quoted values
// and outside a declaration's bracketed internal subset.
size_t pastTag(std::wstring_view text, size_t from) {
    wchar_t quote = 0;
    int brackets = 0;
    for (size_t i = from; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'[') {
            ++brackets;
        } else if (c == L']') {
            brackets = std::max(0, brackets - 1);
        } else if (c == L'>' && brackets == 0) {
            return i + 1;
        }
    }
    return kOpen;
}

}  // namespace

XmlOutline outlineXml(std::wstring_view text) {
    XmlOutline outline;
    bool rootStarted = false;
    size_t depth = 0;
    size_t at = 0;
    while (!outline.rootClosed) {
        const size_t open = text.find(L'<', at);
        if (open == kOpen) return outline;
        size_t end;
        if (startsAt(text, open, L"<!--")) {
            end = pastText(text, open + 4, L"-->");
        } else if (startsAt(text, open, L"<![CDATA[")) {
            end = pastText(text, open + 9, L"]]>");
        } else if (startsAt(text, open, L"<?")) {
            end = pastText(text, open + 2, L"?>");
        } else if (startsAt(text, open, L"<!")) {
            if (!rootStarted && startsAtIgnoringCase(text, open, L"<!doctype")) outline.documentTypeInProlog = true;
            end = pastTag(text, open + 2);
        } else if (startsAt(text, open, L"</")) {
            end = pastTag(text, open + 2);
            if (end != kOpen && depth > 0) --depth;
        } else {
            end = pastTag(text, open + 1);
            if (end != kOpen) {
                rootStarted = true;
                if (text[end - 2] != L'/') ++depth;
            }
        }
        if (end == kOpen) return outline;
        at = end;
        outline.rootClosed = rootStarted && depth == 0;
    }
    const std::wstring_view rest = text.substr(at);
    outline.onlySpaceAfterRoot = std::all_of(rest.begin(), rest.end(), isXmlSpace);
    return outline;
}

}  // namespace vorlane
