// Text between UTF-16 and the code pages of the unzip routines and of member names.
#include "update/AnsiText.h"

#include <windows.h>

#include <climits>
#include <new>

namespace vorlane::updater {

namespace {

constexpr UINT kZipNameCodePage = 437;

std::wstring decode(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    if (bytes.size() > INT_MAX) throw std::bad_alloc();
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), needed);
    return text;
}

}  // namespace

std::string toAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    if (text.size() > INT_MAX / 2) throw std::bad_alloc();
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::wstring fromAnsi(std::string_view bytes) { return decode(bytes, CP_ACP); }

std::wstring fromMemberName(std::string_view bytes, bool utf8) {
    std::wstring name = decode(bytes, utf8 ? CP_UTF8 : kZipNameCodePage);
    if (name.empty() && !bytes.empty()) {
        // A system without the code page: each byte as the character of its value.
        for (char c : bytes) name += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return name;
}

bool isValidUtf8(std::string_view bytes) {
    if (bytes.size() > INT_MAX) return false;
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

}  // namespace vorlane::updater
