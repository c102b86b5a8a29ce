#include "core/modMisc.h"

#include "core/Ansi.h"
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

std::vector<std::wstring_view> splitAll(std::wstring_view text, std::wstring_view separator) {
    std::vector<std::wstring_view> pieces;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::wstring_view::npos; start = at + separator.size())
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

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
        constexpr std::wstring_view kBlankLine = L"\r\n\r\n";
        const size_t headerEnd = reply.find(kBlankLine);
        if (headerEnd == std::wstring::npos) return;

        const std::wstring header = reply.substr(0, headerEnd);
        reply.erase(0, headerEnd + kBlankLine.size());

        for (std::wstring_view line : splitAll(header, L"\r\n")) {
            const auto parts = splitAll(line, L": ");
            if (parts.size() == 2 && parts[0] == L"Response-From" && parts[1] == L"QXAPI") {
                genuine = true;
                return;
            }
        }
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
