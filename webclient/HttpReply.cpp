// Reading a download's reply head and a redirect's target.
#include "webclient/HttpReply.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/HttpHead.h"

namespace vorlane {

namespace {

using Field = std::pair<std::string_view, std::string>;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool equalsIgnoringCase(std::string_view a, std::string_view b) { return sameLettersIgnoringCase(a, b); }
bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) { return sameLettersIgnoringCase(a, b); }
std::string_view trimmed(std::string_view text) { return trimmedBlanks(text); }

// Text from the wire as a message may show it: printable ASCII, cut short.
std::wstring shown(std::string_view text) {
    std::wstring result;
    for (unsigned char c : text.substr(0, 60)) result += (c < 0x20 || c >= 0x7F) ? L'?' : static_cast<wchar_t>(c);
    return result;
}

std::wstring widened(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

ReplyProblem problem(int16_t number, std::wstring description) { return {number, std::move(description)}; }

// How far a line reads as a status line, "HTTP/d.d ddd[ reason]": Bad as soon
// as it cannot be one; Partial when a line still on its way (complete false)
// ends before that is decided.
enum class LineRead { Bad, Partial, Whole };

LineRead readStatusLine(std::string_view line, bool complete) {
    const LineRead cut = complete ? LineRead::Bad : LineRead::Partial;
    size_t i = 0;
    const auto ended = [&] { return i >= line.size(); };
    for (const char c : std::string_view("HTTP/")) {
        if (ended()) return cut;
        if (line[i++] != c) return LineRead::Bad;
    }
    // The version's two numbers, each ended by its separator, then the code.
    for (const char separator : {'.', ' '}) {
        if (ended()) return cut;
        if (!isDigit(line[i++])) return LineRead::Bad;
        while (!ended() && isDigit(line[i])) ++i;
        if (ended()) return cut;
        if (line[i++] != separator) return LineRead::Bad;
    }
    for (int digit = 0; digit < 3; ++digit) {
        if (ended()) return cut;
        if (!isDigit(line[i++])) return LineRead::Bad;
    }
    if (!ended() && line[i] != ' ') return LineRead::Bad;
    for (; i < line.size(); ++i) {
        const unsigned char c = line[i];
        // A line still on its way may end in the CR of its line end.
        const bool lineEndBegun = c == '\r' && !complete && i + 1 == line.size();
        if (isControl(c) && c != '\t' && !lineEndBegun) return LineRead::Bad;
    }
    return complete ? LineRead::Whole : LineRead::Partial;
}

// The status code of a status line, with the code and reason as a message
// shows them; nothing when the line is not one.
std::optional<std::pair<int, std::wstring>> statusOf(std::string_view line) {
    if (readStatusLine(line, true) != LineRead::Whole) return std::nullopt;
    const size_t codeAt = line.find(' ') + 1;
    const std::string_view code = line.substr(codeAt, 3);
    const std::string_view rest = line.substr(codeAt + 3);
    return std::pair{(code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0'), shown(code) + shown(rest)};
}

// The head's fields after the status line, a folded line joined to its field.
std::vector<Field> fieldsOf(std::string_view head) {
    std::vector<Field> fields;
    const std::vector<std::string_view> lines = httpHeadLines(head);
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line[0] == ' ' || line[0] == '\t') {
            if (!fields.empty()) fields.back().second.append(" ").append(trimmed(line));
        } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
            fields.emplace_back(trimmed(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1))));
        }
    }
    return fields;
}

// The status line, without its line end.
std::string_view statusLine(std::string_view received) {
    std::string_view line = received.substr(0, received.find('\n'));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool named(const Field& field, std::string_view name) { return equalsIgnoringCase(field.first, name); }

std::variant<ReplyHead, ReplyProblem> readBody(const std::vector<Field>& fields, ReplyHead head, int64_t largestBody) {
    for (const Field& field : fields) {
        if (named(field, "Transfer-Encoding") && !equalsIgnoringCase(field.second, "identity"))
            return problem(downloadError::BadEncoding,
                           L"The server sent the file in a coding this program does not read: " + shown(field.second));
        if (!named(field, "Content-Length")) continue;
        const std::string& value = field.second;
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
            return problem(downloadError::BadLength, L"The server announced a length that is not a number: " +
                                                         shown(value));
        const size_t first = std::min(value.find_first_not_of('0'), value.size() - 1);
        int64_t length = largestBody + 1;
        if (value.size() - first <= 18) length = std::stoll(value.substr(first));
        if (length > largestBody)
            return problem(downloadError::BodyTooLarge, L"The server announced a file of " + shown(value) +
                                                            L" bytes, more than the " + std::to_wstring(largestBody) +
                                                            L" a download may have");
        if (head.contentLength && *head.contentLength != length)
            return problem(downloadError::BadLength, L"The server announced two different lengths");
        head.contentLength = length;
    }
    return head;
}

std::variant<ReplyHead, ReplyProblem> readRedirect(const std::vector<Field>& fields, ReplyHead head) {
    bool found = false;
    for (const Field& field : fields) {
        if (!named(field, "Location")) continue;
        if (found && field.second != head.location)
            return problem(downloadError::BadAddress, L"The server redirected to two different addresses");
        head.location = field.second;
        found = true;
    }
    return head;
}

bool isScheme(std::wstring_view text) {
    if (text.empty() || !isAlpha(text[0])) return false;
    for (wchar_t c : text)
        if (!isAlpha(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') return false;
    return true;
}

struct AddressParts {
    std::optional<std::wstring> authority;
    std::wstring path;
    std::optional<std::wstring> query;
};

// Path and query of what follows the authority.
void splitPathAndQuery(std::wstring_view rest, AddressParts& parts) {
    const size_t mark = rest.find(L'?');
    parts.path = rest.substr(0, mark);
    if (mark != std::wstring_view::npos) parts.query = std::wstring(rest.substr(mark + 1));
}

// The address being fetched, read as the request reads it: an optional
// "http://", the host up to the first "/", then path and query.
AddressParts baseParts(const std::wstring& current) {
    std::wstring_view text = current;
    text = text.substr(std::min(text.find_first_not_of(L" \t"), text.size()));
    if (text.size() >= 7 && equalsIgnoringCase(text.substr(0, 7), L"http://")) text.remove_prefix(7);
    AddressParts parts;
    const size_t slash = text.find(L'/');
    parts.authority = std::wstring(text.substr(0, slash));
    if (slash != std::wstring_view::npos) splitPathAndQuery(text.substr(slash), parts);
    return parts;
}

std::wstring merged(const AddressParts& base, const std::wstring& path) {
    if (base.path.empty()) return L"/" + path;
    return base.path.substr(0, base.path.rfind(L'/') + 1) + path;
}

}  // namespace

bool canBeginReply(std::string_view received) {
    if (received.find('\n') == std::string_view::npos) return readStatusLine(received, false) != LineRead::Bad;
    return statusOf(statusLine(received)).has_value();
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::variant<ReplyHead, ReplyProblem> readReplyHead(std::string_view head, int64_t largestBody) {
    const auto status = statusOf(statusLine(head));
    if (!status) return problem(downloadError::NotHttp, L"The server's reply is not HTTP");
    ReplyHead reply;
    reply.status = status->first;
    const std::vector<Field> fields = fieldsOf(head);
    // A part of a file (206, which nothing here asks for) is not the file.
    if (reply.status >= 200 && reply.status <= 299 && reply.status != 206) return readBody(fields, reply, largestBody);
    if (isRedirectStatus(reply.status)) return readRedirect(fields, reply);
    return problem(downloadError::HttpStatus, L"The server answered " + status->second);
}

std::string encodedForRequest(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : bytes) {
        if (c == ' ' || c >= 0x80) {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 15];
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

std::string headerField(std::string_view head, std::string_view name) {
    for (const Field& field : fieldsOf(head))
        if (named(field, name)) return field.second;
    return {};
}

std::variant<std::wstring, ReplyProblem> resolveRedirect(const std::wstring& current, std::string_view location) {
    location = trimmed(location);
    if (location.empty())
        return problem(downloadError::BadAddress, L"The server redirected without saying where to");
    for (unsigned char c : location)
        if (isControl(c))
            return problem(downloadError::BadAddress, L"The server's redirect address holds a control character");
    std::wstring reference = widened(encodedForRequest(location));
    reference = reference.substr(0, reference.find(L'#'));  // a fragment never goes to the server

    AddressParts target;
    std::wstring_view rest = reference;
    const size_t stop = reference.find_first_of(L":/?");
    if (stop != std::wstring::npos && reference[stop] == L':' && isScheme(rest.substr(0, stop))) {
        if (!equalsIgnoringCase(rest.substr(0, stop), L"http"))
            return problem(downloadError::BadAddress, L"The server redirected to an address this program cannot fetch: " +
                                                          reference.substr(0, stop + 1));
        rest.remove_prefix(stop + 1);
        if (rest.substr(0, 2) != L"//")
            return problem(downloadError::BadAddress, L"The server redirected to an address without a host");
    }
    if (rest.substr(0, 2) == L"//") {
        const size_t end = std::min(rest.find_first_of(L"/?", 2), rest.size());
        target.authority = std::wstring(rest.substr(2, end - 2));
        rest.remove_prefix(end);
    }
    splitPathAndQuery(rest, target);

    // Resolved as for any relative reference (RFC 3986, 5.2.2).
    const AddressParts base = baseParts(current);
    if (!target.authority) {
        target.authority = base.authority;
        if (target.path.empty()) {
            target.path = base.path;
            if (!target.query) target.query = base.query;
        } else if (target.path[0] != L'/') {
            target.path = merged(base, target.path);
        }
    }
    target.path = removeDotSegments(target.path);
    if (!isUsableHost(*target.authority))
        return problem(downloadError::BadAddress,
                       L"The server redirected to an address with an unusable host: " + target.authority->substr(0, 60));
    return L"http://" + *target.authority + (target.path.empty() ? L"/" : target.path) +
           (target.query ? L"?" + *target.query : L"");
}

std::wstring removeDotSegments(std::wstring_view path) {
    std::wstring input(path);
    std::wstring output;
    const auto dropLastSegment = [&] { output.erase(std::min(output.rfind(L'/'), output.size())); };
    while (!input.empty()) {
        if (input.starts_with(L"../")) {
            input.erase(0, 3);
        } else if (input.starts_with(L"./")) {
            input.erase(0, 2);
        } else if (input.starts_with(L"/./")) {
            input.erase(0, 2);
        } else if (input == L"/.") {
            input = L"/";
        } else if (input.starts_with(L"/../")) {
            input.erase(0, 3);
            dropLastSegment();
        } else if (input == L"/..") {
            input = L"/";
            dropLastSegment();
        } else if (input == L"." || input == L"..") {
            input.clear();
        } else {
            const size_t end = std::min(input.find(L'/', 1), input.size());
            output += input.substr(0, end);
            input.erase(0, end);
        }
    }
    return output;
}

bool isUsableHost(std::wstring_view host) {
    const size_t colon = host.rfind(L':');
    const std::wstring_view name = host.substr(0, colon);
    if (name.empty() || name.size() > 253) return false;
    for (wchar_t c : name)
        if (!isAlpha(c) && !(c >= L'0' && c <= L'9') && c != L'.' && c != L'-' && c != L'_') return false;
    if (colon == std::wstring_view::npos) return true;
    const std::wstring_view port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    int number = 0;
    for (wchar_t c : port) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
    }
    return number >= 1 && number <= 65535;
}

}  // namespace vorlane
