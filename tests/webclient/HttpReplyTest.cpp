// The reading of a download's reply head and of a redirect's target, without a
// network: what is a file, what is followed, and what is refused with which number.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "webclient/HttpReply.h"

using namespace vorlane;
using namespace std::string_literals;

namespace {

struct HeadCase {
    const char* name;
    std::string head;
    int16_t error = 0;  // 0: read as a file's or a redirect's head
    int status = 0;
    std::optional<int64_t> length = std::nullopt;
    std::string location = "";
    const wchar_t* saying = L"";
};

constexpr int64_t kLargest = 1000000;

const HeadCase kHeads[] = {
    {"Success", "HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", 0, 200, 1234},
    {"NoReasonPhrase", "HTTP/1.1 204\r\n\r\n", 0, 204},
    {"LengthWithZerosAndBlanks", "HTTP/1.0 200 OK\r\ncontent-length:\t 0007 \r\n\r\n", 0, 200, 7},
    {"EqualLengthsRepeated", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\n", 0, 200, 5},
    {"LargestLength", "HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n", 0, 200, kLargest},
    {"LineFeedsOnly", "HTTP/1.0 200 OK\nContent-Length: 5\n\n", 0, 200, 5},
    {"MixedLineEnds", "HTTP/1.1 302 Found\nLocation: /a\r\n\n", 0, 302, std::nullopt, "/a"},
    {"IdentityCoding", "HTTP/1.0 200 OK\r\nTransfer-Encoding: Identity\r\n\r\n", 0, 200},
    {"Redirect", "HTTP/1.0 307 Temporary Redirect\r\nLocation:  /next \r\nContent-Length: x\r\n\r\n", 0, 307,
     std::nullopt, "/next"},
    {"FoldedLocation", "HTTP/1.0 301 Moved\r\nLocation: /a\r\n b\r\n\r\n", 0, 301, std::nullopt, "/a b"},
    {"SameLocationTwice", "HTTP/1.0 308 Moved\r\nLocation: /a\r\nLocation: /a\r\n\r\n", 0, 308, std::nullopt, "/a"},
    {"RedirectWithoutLocation", "HTTP/1.0 302 Found\r\n\r\n", 0, 302},

    {"NotFound", "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\n", downloadError::HttpStatus, 0, {}, "",
     L"404 Not Found"},
    {"ServerError", "HTTP/1.0 503 Service Unavailable\r\n\r\n", downloadError::HttpStatus, 0, {}, "", L"503"},
    {"OtherRedirection", "HTTP/1.0 300 Multiple Choices\r\nLocation: /a\r\n\r\n", downloadError::HttpStatus, 0, {},
     "", L"300"},
    {"Informational", "HTTP/1.0 100 Continue\r\n\r\n", downloadError::HttpStatus},
    {"ReasonShownPrintable", "HTTP/1.0 500 B\xe4" "d\r\n\r\n", downloadError::HttpStatus, 0, {}, "", L"500 B?d"},
    {"ReasonWithAControl", "HTTP/1.0 500 Bad\x01\r\n\r\n", downloadError::NotHttp},
    {"NoStatusLine", "Content-Length: 5\r\n\r\n", downloadError::NotHttp},
    {"StatusNotDigits", "HTTP/1.0 2OO OK\r\n\r\n", downloadError::NotHttp},
    {"StatusTooLong", "HTTP/1.0 2000 OK\r\n\r\n", downloadError::NotHttp},
    {"NoVersion", "HTTP/ 200 OK\r\n\r\n", downloadError::NotHttp},
    {"NegativeLength", "HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\n", downloadError::BadLength, 0, {}, "", L"-5"},
    {"SignedLength", "HTTP/1.0 200 OK\r\nContent-Length: +5\r\n\r\n", downloadError::BadLength},
    {"LengthWithText", "HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n", downloadError::BadLength},
    {"EmptyLength", "HTTP/1.0 200 OK\r\nContent-Length:\r\n\r\n", downloadError::BadLength},
    {"LengthList", "HTTP/1.0 200 OK\r\nContent-Length: 5, 5\r\n\r\n", downloadError::BadLength},
    {"ConflictingLengths", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
     downloadError::BadLength},
    {"LengthAboveTheLargest", "HTTP/1.0 200 OK\r\nContent-Length: 1000001\r\n\r\n", downloadError::BodyTooLarge},
    {"LengthBeyondAnyCounter", "HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
     downloadError::BodyTooLarge},
    {"Chunked", "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", downloadError::BadEncoding, 0, {}, "",
     L"chunked"},
    {"GzipThenChunked", "HTTP/1.0 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", downloadError::BadEncoding},
    {"TwoLocations", "HTTP/1.0 302 Found\r\nLocation: /a\r\nLocation: /b\r\n\r\n", downloadError::BadAddress},
};

void PrintTo(const HeadCase& c, std::ostream* out) { *out << c.name; }

class ReplyHeads : public ::testing::TestWithParam<HeadCase> {};

}  // namespace

TEST_P(ReplyHeads, AreReadStrictly) {
    const HeadCase& c = GetParam();
    const auto reply = readReplyHead(c.head, kLargest);
    if (c.error != 0) {
        ASSERT_TRUE(std::holds_alternative<ReplyProblem>(reply));
        const ReplyProblem& problem = std::get<ReplyProblem>(reply);
        EXPECT_EQ(problem.number, c.error);
        EXPECT_NE(problem.description.find(c.saying), std::wstring::npos) << problem.description.c_str();
        for (wchar_t ch : problem.description) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F);
        return;
    }
    ASSERT_TRUE(std::holds_alternative<ReplyHead>(reply)) << std::get<ReplyProblem>(reply).description.c_str();
    const ReplyHead& head = std::get<ReplyHead>(reply);
    EXPECT_EQ(head.status, c.status);
    EXPECT_EQ(head.contentLength, c.length);
    EXPECT_EQ(head.location, c.location);
}

INSTANTIATE_TEST_SUITE_P(Download, ReplyHeads, ::testing::ValuesIn(kHeads),
                         [](const auto& one) { return std::string(one.param.name); });

TEST(ReplyStart, OtherRepliesAreRefusedAtTheirFirstBytes) {
    for (const char* start :
         {"", "H", "HTTP/", "HTTP/1.0 200", "HTTP/1.0 200 OK\r", "HTTP/1.0 200 OK\r\nX", "HTTP/1.0 200 OK\nX"})
        EXPECT_TRUE(canBeginReply(start)) << start;
    for (const char* start : {"<", "HTTP 200", "http/1.0 200 OK", "HTTP/1.0 200 OK\r\r\nX", "HTTP/1.0 20 OK\r\n",
                              "HTTP/x", "HTTP/1.0 2000", "HTTP/1.0 2OO", "HTTP/1.0 200OK", "HTTP/1.0 200 OK\rX"})
        EXPECT_FALSE(canBeginReply(start)) << start;
}

TEST(ReplyHeader, ValueComesOnlyFromAFieldOfThatName) {
    const std::string head = "HTTP/1.0 200 OK\r\nX-Location: /no\r\nX-Note: Location: /no\r\nlocation:\t/yes \r\n\r\n";
    EXPECT_EQ(headerField(head, "Location"), "/yes");
    EXPECT_EQ(headerField(head, "Content-Length"), "");
    EXPECT_EQ(headerField("Location: /status-line-is-no-field\r\n\r\n", "Location"), "");
}

// --- Redirect targets ---------------------------------------------------------

namespace {

struct RedirectCase {
    std::string location;
    std::wstring target;  // empty: refused
    const wchar_t* saying = L"";
};

const std::wstring kCurrent = L"http://pics.example:8080/walls/2008/big.jpg?size=1";

const RedirectCase kRedirects[] = {
    {"http://other.example/x.jpg", L"http://other.example/x.jpg"},
    {"HTTP://Other.example/x.jpg", L"http://Other.example/x.jpg"},
    {"hTtP://other.example", L"http://other.example/"},
    {"//other.example:81/x.jpg", L"http://other.example:81/x.jpg"},
    {"/x.jpg", L"http://pics.example:8080/x.jpg"},
    {" small.jpg ", L"http://pics.example:8080/walls/2008/small.jpg"},
    {"?size=2", L"http://pics.example:8080/walls/2008/big.jpg?size=2"},
    {"#top", L"http://pics.example:8080/walls/2008/big.jpg?size=1"},
    {"next.jpg?from=http://a.example/", L"http://pics.example:8080/walls/2008/next.jpg?from=http://a.example/"},
    {"../2009/./x.jpg", L"http://pics.example:8080/walls/2009/x.jpg"},
    {"../../../../x.jpg", L"http://pics.example:8080/x.jpg"},
    {"/a/b/../../c/.", L"http://pics.example:8080/c/"},
    {"http://other.example/a/../b.jpg#part", L"http://other.example/b.jpg"},
    {"my picture\xe9.jpg", L"http://pics.example:8080/walls/2008/my%20picture%E9.jpg"},

    {"", L"", L"without saying where"},
    {"https://pics.example/x.jpg", L"", L"https:"},
    {"HTTPS://pics.example/x.jpg", L"", L"HTTPS:"},
    {"ftp://pics.example/x.jpg", L"", L"ftp:"},
    {"javascript:alert(1)", L"", L"javascript:"},
    {"file:///c:/windows/win.ini", L"", L"file:"},
    {"http:x.jpg", L"", L"without a host"},
    {"/x.jpg HTTP/1.0\nHost: evil.example", L"", L"control character"},
    {"/x.jpg\rX: y", L"", L"control character"},
    {"/x\0.jpg"s, L"", L"control character"},
    {"/x\t.jpg", L"", L"control character"},
    {"/x\x7f.jpg", L"", L"control character"},
    {"http://user:pw@pics.example/x.jpg", L"", L"unusable host"},
    {"http://pics.example@evil.example/x.jpg", L"", L"unusable host"},
    {"//bad host/x.jpg", L"", L"unusable host"},
    {"http:///x.jpg", L"", L"unusable host"},
    {"http://pics.example:99999/x.jpg", L"", L"unusable host"},
    {"http://pics.example:/x.jpg", L"", L"unusable host"},
    {"http://[::1]/x.jpg", L"", L"unusable host"},
};

void PrintTo(const RedirectCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.location); }

class RedirectTargets : public ::testing::TestWithParam<RedirectCase> {};

}  // namespace

TEST_P(RedirectTargets, AreResolvedOrRefused) {
    const RedirectCase& c = GetParam();
    const auto target = resolveRedirect(kCurrent, c.location);
    if (!c.target.empty()) {
        ASSERT_TRUE(std::holds_alternative<std::wstring>(target)) << std::get<ReplyProblem>(target).description.c_str();
        EXPECT_EQ(std::get<std::wstring>(target), c.target);
        return;
    }
    ASSERT_TRUE(std::holds_alternative<ReplyProblem>(target)) << std::get<std::wstring>(target).c_str();
    EXPECT_EQ(std::get<ReplyProblem>(target).number, downloadError::BadAddress);
    EXPECT_NE(std::get<ReplyProblem>(target).description.find(c.saying), std::wstring::npos)
        << std::get<ReplyProblem>(target).description.c_str();
}

INSTANTIATE_TEST_SUITE_P(Download, RedirectTargets, ::testing::ValuesIn(kRedirects));

TEST(RedirectTarget, IsResolvedAgainstAnAddressWithoutPathOrScheme) {
    EXPECT_EQ(std::get<std::wstring>(resolveRedirect(L"http://pics.example", "x.jpg")), L"http://pics.example/x.jpg");
    EXPECT_EQ(std::get<std::wstring>(resolveRedirect(L"pics.example/a/b", "c")), L"http://pics.example/a/c");
}

TEST(DotSegments, AreRemovedAsForAnyRelativeReference) {
    // The examples of the URI standard's own algorithm.
    EXPECT_EQ(removeDotSegments(L"/a/b/c/./../../g"), L"/a/g");
    EXPECT_EQ(removeDotSegments(L"mid/content=5/../6"), L"mid/6");
    EXPECT_EQ(removeDotSegments(L"/b/c/../.."), L"/");
    EXPECT_EQ(removeDotSegments(L"/.."), L"/");
    EXPECT_EQ(removeDotSegments(L"/./a/"), L"/a/");
    EXPECT_EQ(removeDotSegments(L"."), L"");
    EXPECT_EQ(removeDotSegments(L"/a..b/.c"), L"/a..b/.c");
}
