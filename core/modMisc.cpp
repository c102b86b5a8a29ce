// The general helpers: query encoding, text arrays, the combo search, the reply header and name rules.
#include "core/modMisc.h"

#include "core/Ansi.h"
#include "core/HttpHead.h"
#include "core/RuntimeError.h"
#include "core/Trap.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"modMisc";

bool isAsciiAlnum(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

void appendPercentByte(std::wstring& out, unsigned char byte) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    out += L'%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring URLEncode(const std::wstring& text) {
    std::wstring encoded;
    runTrapped(L"URLEncode", kModule, [&] {
        encoded.reserve(text.size() * 3);
        for (size_t i = 0; i < text.size(); ++i) {
            const wchar_t c = text[i];
            if (isAsciiAlnum(c)) {
                encoded += c;
            } else if (c == L' ') {
                encoded += L'+';
            } else {
                // A surrogate pair is one character of the code page.
                const size_t length = (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) ? 2 : 1;
                for (unsigned char byte : toAnsi(std::wstring_view(text).substr(i, length))) appendPercentByte(encoded, byte);
                i += length - 1;
            }
        }
    });
    return encoded;
}

void array_push(TextArray& array, const std::wstring& value) { array.push_back(value); }

std::wstring array_shift(TextArray& array) {
    std::wstring first;
    runTrapped(L"array_shift", kModule, [&] {
        if (array.size() < 2) return;
        first = std::move(array.front());
        array.erase(array.begin());
    });
    return first;
}

bool validateHTMLHeader(std::wstring& reply) {
    bool genuine = false;
    runTrapped(L"validateHTMLHeader", kModule, [&] {
        const size_t headLength = httpHeadLength(std::wstring_view(reply));
        if (headLength == std::wstring::npos) return;

        const std::wstring head = reply.substr(0, headLength);
        reply.erase(0, headLength);
        for (std::wstring_view value : httpHeadFieldValues(std::wstring_view(head), L"Response-From"))
            if (value == L"QXAPI") genuine = true;
    });
    return genuine;
}

bool isValidUsername(std::wstring_view name) {
    for (wchar_t c : name)
        if (!isAsciiAlnum(c) && c != L'.' && c != L'_' && c != L'-') return false;
    return true;
}

bool hasOnlyTagCharacters(std::wstring_view text) {
    for (wchar_t c : text)
        if (!isAsciiAlnum(c) && c != L'-' && c != L'*' && c != L',' && c != L' ') return false;
    return true;
}

}  // namespace vorlane
