// Reading an HTTP/1.0 reply head the way the downloader must trust it: the
// status line, the length and coding of the body, and where a redirect leads.
// Works on the bytes as they came; free of Windows so that it is tested plainly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vorlane {

// The downloader's own error numbers, beside the socket's and the file's.
namespace downloadError {
constexpr int16_t TooManyRedirects = 20001;
constexpr int16_t IncompleteBody = 20002;
constexpr int16_t ConnectTimedOut = 20003;
constexpr int16_t ServerSilent = 20004;
constexpr int16_t TooSlow = 20005;
constexpr int16_t HttpStatus = 20006;      // a status that is neither a file nor a redirect
constexpr int16_t NotHttp = 20007;         // no status line, or a malformed one
constexpr int16_t BadLength = 20008;       // Content-Length not digits, or two different ones
constexpr int16_t BadEncoding = 20009;     // a Transfer-Encoding other than identity
constexpr int16_t HeaderTooLarge = 20010;
constexpr int16_t BodyTooLarge = 20011;
constexpr int16_t BadAddress = 20012;      // a redirect that cannot be followed safely
constexpr int16_t IncompleteHead = 20013;  // the connection closed before the reply head ended

constexpr bool isOwn(int number) { return number >= TooManyRedirects && number <= IncompleteHead; }

// The network ended the transfer: no connection or no answer in time, or the
// peer closed it before the whole reply came, at whatever stage: before its
// first byte, inside its head or inside its body. The server is not to blame.
constexpr bool isNetworkFailure(int number) {
    return number == IncompleteHead || number == IncompleteBody || number == ConnectTimedOut ||
           number == ServerSilent || number == TooSlow;
}

// The server answered, but with no file: a status, a head, a size or a
// redirect that cannot be taken.
constexpr bool isRefusedReply(int number) { return isOwn(number) && !isNetworkFailure(number); }
}  // namespace downloadError

struct ReplyProblem {
    int16_t number = 0;
    std::wstring description;
};

struct ReplyHead {
    int status = 0;
    std::optional<int64_t> contentLength;  // none: the body ends when the server closes
    std::string location;                  // the redirect's Location as received, trimmed
};

// False as soon as the bytes received so far cannot begin an HTTP status line,
// so that a reply of another kind is refused without waiting for its end: a
// status line still on its way is read as far as it has come.
bool canBeginReply(std::string_view received);

bool isRedirectStatus(int status);

// The head, status line to blank line: a success (2xx, but 206) with its
// body's length, a redirect (301, 302, 303, 307, 308) with its Location, or
// why it is no file.
// An announced length above largestBody is refused.
std::variant<ReplyHead, ReplyProblem> readReplyHead(std::string_view head, int64_t largestBody);

// An address's bytes as a request line carries them: spaces and bytes above
// 127 percent-encoded.
std::string encodedForRequest(std::string_view bytes);

// The trimmed value of the first field named name (letter case ignored).
std::string headerField(std::string_view head, std::string_view name);

// The address a redirect's Location leads to from current: http only, any
// letter case, or relative (dot segments resolved); never with a control
// character, a user name or an unusable host. Spaces and bytes above 127 are
// percent-encoded, a fragment dropped.
std::variant<std::wstring, ReplyProblem> resolveRedirect(const std::wstring& current, std::string_view location);

// The path with its "." and ".." segments resolved as for a relative reference.
std::wstring removeDotSegments(std::wstring_view path);

// Whether host ("name" or "name:port") may go into a request: letters,
// digits, ".", "-" and "_", and a port from 1 to 65535.
bool isUsableHost(std::wstring_view host);

}  // namespace vorlane
