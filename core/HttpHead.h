// Where the head of an HTTP reply ends and how its lines read. Servers and
// proxies end the head's lines with CR LF, some with LF alone; a server writes
// all the lines of a head alike, so the status line's end tells which. In a
// head of CR LF lines a lone LF is no line end but a byte within a line.
#pragma once

#include <algorithm>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vorlane {

// Whether the head's lines end with CR LF (else with LF); false until its
// first line has ended.
template <class Char>
bool hasCrLfLines(std::basic_string_view<Char> text) {
    const size_t first = text.find(Char('\n'));
    return first != std::basic_string_view<Char>::npos && first > 0 && text[first - 1] == Char('\r');
}

// Just past the empty line that ends the head, or npos while it has not come.
// The search starts at from, a place known to lie before that empty line's
// end-of-line sequence (the previous size of text less three suits a head
// that grows piece by piece).
template <class Char>
size_t httpHeadLength(std::basic_string_view<Char> text, size_t from = 0) {
    constexpr auto npos = std::basic_string_view<Char>::npos;
    if (hasCrLfLines(text)) {
        constexpr Char kBlankLine[] = {Char('\r'), Char('\n'), Char('\r'), Char('\n')};
        const size_t at = text.find(std::basic_string_view<Char>(kBlankLine, 4), from);
        return at == npos ? npos : at + 4;
    }
    for (size_t at = text.find(Char('\n'), from); at != npos; at = text.find(Char('\n'), at + 1)) {
        size_t next = at + 1;
        if (next < text.size() && text[next] == Char('\r')) ++next;
        if (next < text.size() && text[next] == Char('\n')) return next + 1;
    }
    return npos;
}

// The head's lines, without their line ends, up to the empty line.
template <class Char>
std::vector<std::basic_string_view<Char>> httpHeadLines(std::basic_string_view<Char> head) {
    const bool crLf = hasCrLfLines(head);
    std::vector<std::basic_string_view<Char>> lines;
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find(Char('\n'), start);
        while (crLf && end != std::basic_string_view<Char>::npos && (end == 0 || head[end - 1] != Char('\r')))
            end = head.find(Char('\n'), end + 1);
        end = std::min(end, head.size());
        std::basic_string_view<Char> line = head.substr(start, end - start);
        if (!line.empty() && line.back() == Char('\r')) line.remove_suffix(1);
        if (line.empty()) break;
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// a and b alike but for the letter case of A to Z, as HTTP compares its
// field names and many of its values.
template <class Char>
bool sameLettersIgnoringCase(std::basic_string_view<Char> a, std::type_identity_t<std::basic_string_view<Char>> b) {
    const auto lower = [](Char c) { return c >= Char('A') && c <= Char('Z') ? Char(c - Char('A') + Char('a')) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](Char x, Char y) { return lower(x) == lower(y); });
}

// text without the blanks (spaces and tabs) around it.
template <class Char>
std::basic_string_view<Char> trimmedBlanks(std::basic_string_view<Char> text) {
    constexpr Char kBlanks[] = {Char(' '), Char('\t'), Char(0)};
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::basic_string_view<Char>::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The values of the head's fields named name (in any letter case), blanks
// around each trimmed, in their order: a proxy on the way may rewrite either.
template <class Char>
std::vector<std::basic_string_view<Char>> httpHeadFieldValues(std::basic_string_view<Char> head,
                                                              std::type_identity_t<std::basic_string_view<Char>> name) {
    std::vector<std::basic_string_view<Char>> values;
    for (const std::basic_string_view<Char> line : httpHeadLines(head)) {
        const size_t colon = line.find(Char(':'));
        if (colon == std::basic_string_view<Char>::npos) continue;
        if (sameLettersIgnoringCase(trimmedBlanks(line.substr(0, colon)), name))
            values.push_back(trimmedBlanks(line.substr(colon + 1)));
    }
    return values;
}

}  // namespace vorlane
