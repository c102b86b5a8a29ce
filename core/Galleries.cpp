// The gallery list: galleries found by name whatever the letter case, in reply order.
#include "core/Galleries.h"

#include <windows.h>

#include "core/RuntimeError.h"

namespace vorlane {

namespace {

// Keys compare as the platform compares text ignoring case, independent of the user's language.
std::wstring folded(const std::wstring& key) {
    if (key.empty()) return key;
    std::wstring text = key;
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

std::optional<size_t> Galleries::indexOf(const std::wstring& key) const {
    const std::wstring wanted = folded(key);
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].first == wanted) return i;
    return std::nullopt;
}

Galleries::Entry& Galleries::add(const std::wstring& key) {
    if (indexOf(key)) raiseError(errnum::KeyAlreadyInCollection, L"Collection");
    entries_.emplace_back(folded(key), Entry{});
    return entries_.back().second;
}

const Galleries::Entry& Galleries::item(const std::wstring& key) const {
    const auto index = indexOf(key);
    if (!index) raiseError(errnum::InvalidProcedureCall, L"Collection");
    return entries_[*index].second;
}

bool Galleries::contains(const std::wstring& key) const { return indexOf(key).has_value(); }

}  // namespace vorlane
