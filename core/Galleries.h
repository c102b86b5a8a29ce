// The service's gallery list as the program keeps it: galleries in the order of
// the reply, each with its own name first and then its categories' names. A
// gallery is found by its name whatever the letter case, so two galleries whose
// names differ only in case cannot both be kept.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorlane {

class Galleries {
public:
    using Entry = std::vector<std::wstring>;  // the gallery's name, then its categories

    // Adds an empty entry under key; raises 457 when the key (ignoring case) is
    // already taken.
    Entry& add(const std::wstring& key);

    // The entry whose key equals key ignoring case; raises 5 when there is none.
    const Entry& item(const std::wstring& key) const;
    bool contains(const std::wstring& key) const;

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const Entry& operator[](size_t index) const { return entries_[index].second; }
    void clear() { entries_.clear(); }

private:
    std::optional<size_t> indexOf(const std::wstring& key) const;

    std::vector<std::pair<std::wstring, Entry>> entries_;  // folded key, entry
};

}  // namespace vorlane
