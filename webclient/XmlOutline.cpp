// The outline of an XML text: where its root starts and ends, and a document type before it.
#include "webclient/XmlOutline.h"

#include <algorithm>
#include <cwctype>

namespace vorlane {

namespace {

constexpr size_t kOpen = std::wstring_view::npos;  // a construct whose end has not arrived

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
        if (outline.rootClosed) outline.rootClosingTag = text.substr(open, end - open);
    }
    const size_t rest = pastMisc(text, at);
    outline.onlyMiscAfterRoot = rest == text.size();
    // What has come of a comment or processing instruction is not stray yet.
    if (rest != kOpen && rest < text.size()) {
        const std::wstring_view next = text.substr(rest);
        const auto mayBegin = [next](std::wstring_view opening) { return opening.starts_with(next); };
        outline.strayAfterRoot = !mayBegin(L"<!--") && !mayBegin(L"<?");
    }
    return outline;
}

size_t pastMisc(std::wstring_view text, size_t from) {
    for (size_t at = from;;) {
        at = text.find_first_not_of(L" \t\r\n", at);
        if (at == kOpen) return text.size();
        const bool comment = startsAt(text, at, L"<!--");
        if (!comment && !startsAt(text, at, L"<?")) return at;
        at = comment ? pastText(text, at + 4, L"-->") : pastText(text, at + 2, L"?>");
        if (at == kOpen) return kOpen;
    }
}

}  // namespace vorlane
