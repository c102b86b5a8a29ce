// Tests of the general helpers: query encoding, text arrays, the reply header and the name rules.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Handles.h"
#include "core/modMisc.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/TestFiles.h"

using namespace vorlane;
using vorlane::test::ErrorCapture;
using vorlane::test::TempDir;

TEST(URLEncode, LettersAndDigitsStayBlanksBecomePlus) {
    EXPECT_EQ(URLEncode(L"a b"), L"a+b");
    EXPECT_EQ(URLEncode(L""), L"");
    EXPECT_EQ(URLEncode(L"AZaz09"), L"AZaz09");
}

TEST(URLEncode, EverythingElseIsPercentEncoded) {
    EXPECT_EQ(URLEncode(L"x-y.z"), L"x%2Dy%2Ez");
    EXPECT_EQ(URLEncode(L"_~&=+%/"), L"%5F%7E%26%3D%2B%25%2F");
    EXPECT_EQ(URLEncode(L"qx.auth.login"), L"qx%2Eauth%2Elogin");
    // Codes below 16 get two digits.
    EXPECT_EQ(URLEncode(L"\t\n"), L"%09%0A");
}

TEST(URLEncode, NonAsciiGoesThroughTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the test session runs with the Western code page";
    EXPECT_EQ(URLEncode(L"\u00e9"), L"%E9");
    EXPECT_EQ(URLEncode(L"caf\u00e9 au lait"), L"caf%E9+au+lait");
    EXPECT_EQ(URLEncode(L"\u20ac"), L"%80");             // the euro sign's place in 1252
    EXPECT_EQ(URLEncode(L"\u4e2d"), L"%3F");             // not in the code page: "?"
}

TEST(URLEncode, AnyLengthIsEncodedWhole) {
    ErrorCapture capture;
    std::wstring text, expected;
    while (text.size() <= 40000) {
        text += L"a b&=\r\n";
        expected += L"a+b%26%3D%0D%0A";
    }
    EXPECT_EQ(URLEncode(text), expected);
    EXPECT_TRUE(capture.empty());
}

TEST(TextArrays, PushAndShift) {
    TextArray empty;
    EXPECT_EQ(array_shift(empty), L"");
    EXPECT_TRUE(empty.empty());
    array_push(empty, L"x");
    EXPECT_EQ(empty, TextArray{L"x"});

    TextArray one{L"a"};
    EXPECT_EQ(array_shift(one), L"");
    EXPECT_EQ(one, TextArray{L"a"});
    array_push(one, L"x");
    EXPECT_EQ(one, (TextArray{L"a", L"x"}));

    TextArray three{L"a", L"b", L"c"};
    EXPECT_EQ(array_shift(three), L"a");
    EXPECT_EQ(three, (TextArray{L"b", L"c"}));
    EXPECT_EQ(array_shift(three), L"b");
    EXPECT_EQ(three, TextArray{L"c"});
}

TEST(ValidateHTMLHeader, GenuineReplyLeavesTheWholeBody) {
    std::wstring reply = L"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nResponse-From: QXAPI\r\n\r\n"
                         L"<auth>\nfirst\r\n\r\nsecond\n</auth>";
    EXPECT_TRUE(validateHTMLHeader(reply));
    EXPECT_EQ(reply, L"<auth>\nfirst\r\n\r\nsecond\n</auth>");

    reply = L"HTTP/1.0 200 OK\nResponse-From: QXAPI\r\n\n<auth>\n\n</auth>";  // line ends of LF alone
    EXPECT_TRUE(validateHTMLHeader(reply));
    EXPECT_EQ(reply, L"<auth>\n\n</auth>");
}

TEST(ValidateHTMLHeader, FieldNameInAnyCaseAndValueExactlyQXAPI) {
    for (const auto& [line, genuine] :
         {std::pair{L"response-from: QXAPI", true}, {L"Response-From:QXAPI", true}, {L"RESPONSE-FROM :\t QXAPI ", true},
          {L"Response-From: QXAPI: x", false}, {L"Response-From: qxapi", false}, {L"X-Response-From: QXAPI", false},
          {L"Response-From: QX API", false}}) {
        std::wstring reply = std::wstring(L"HTTP/1.0 200 OK\r\n") + line + L"\r\n\r\n<auth>\n</auth>";
        EXPECT_EQ(validateHTMLHeader(reply), genuine) << "header line of length " << std::wstring(line).size();
        EXPECT_EQ(reply, L"<auth>\n</auth>");
    }
}

TEST(ValidateHTMLHeader, ForeignReplyStillLosesItsHeader) {
    std::wstring reply = L"HTTP/1.0 200 OK\r\nServer: other\r\n\r\n<html></html>";
    EXPECT_FALSE(validateHTMLHeader(reply));
    EXPECT_EQ(reply, L"<html></html>");
}

TEST(ValidateHTMLHeader, ReplyWithoutBlankLineIsLeftAlone) {
    std::wstring reply = L"HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\n<auth>";
    EXPECT_FALSE(validateHTMLHeader(reply));
    EXPECT_EQ(reply, L"HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\n<auth>");

    std::wstring empty;
    EXPECT_FALSE(validateHTMLHeader(empty));
    EXPECT_EQ(empty, L"");
}

TEST(ValidateHTMLHeader, HeaderOnlyReplyHasAnEmptyBody) {
    std::wstring reply = L"Response-From: QXAPI\r\n\r\n";
    EXPECT_TRUE(validateHTMLHeader(reply));
    EXPECT_EQ(reply, L"");
}

TEST(IsValidUsername, TheAllowedCharacters) {
    EXPECT_TRUE(isValidUsername(L"abc.def_1-x"));
    EXPECT_TRUE(isValidUsername(L"ABC-xyz.09"));
    EXPECT_TRUE(isValidUsername(L""));
    for (const wchar_t* name : {L"abc def", L"dom\\abc", L"me@host", L"caf\u00e9", L"tab\t", L"a/b", L"\uff41"})
        EXPECT_FALSE(isValidUsername(name));
}

TEST(HasOnlyTagCharacters, LettersDigitsDashesWildcardsCommasAndBlanks) {
    for (const wchar_t* tag : {L"dog*", L"b*ball", L"golden retriever", L"Love, Yankees,Golden Retriever",
                               L"x-wing-2008", L"   ", L",,,", L"*", L"", L"AZaz09"})
        EXPECT_TRUE(hasOnlyTagCharacters(tag)) << tag;
    // Nothing else, whatever its case folds to: the long s and the Kelvin sign
    // are no letters A-Z here.
    for (const wchar_t* tag : {L"dogs.", L"don't", L"golden_retriever", L"Gr\u00fc\u00dfe", L"a\tb", L"cats;dogs",
                               L"\u017fun", L"\u212aelvin", L"caf\u00e9", L"100%", L"\"quoted\"", L"x/y", L"a\u00a0b",
                               L"\uff41", L"line\r\nbreak", L"@", L"[x]", L"\U0001F600"})
        EXPECT_FALSE(hasOnlyTagCharacters(tag)) << tag;
    // Every character below 128 that passes, and only those.
    std::wstring passed;
    for (wchar_t c = 1; c < 128; ++c)
        if (hasOnlyTagCharacters(std::wstring(1, c))) passed += c;
    EXPECT_EQ(passed, L" *,-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}

TEST(FileTests, FilesAndFolders) {
    TempDir dir;
    const std::wstring file = dir.file(L"plain.txt");
    vorlane::test::writeFile(file, "x");

    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(dirExists(file));
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_TRUE(dirExists(dir.path()));
    EXPECT_TRUE(dirExists(dir.path() + L"\\"));

    EXPECT_FALSE(fileExists(dir.file(L"missing")));
    EXPECT_FALSE(dirExists(dir.file(L"missing")));
    EXPECT_FALSE(fileExists(L""));
    EXPECT_FALSE(dirExists(L""));
    EXPECT_FALSE(fileExists(dir.file(L"*.txt")));
    EXPECT_FALSE(fileExists(L"Q:\\no\\such\\drive.txt"));
}

TEST(FileTests, HiddenAndReadOnlyFilesCount) {
    TempDir dir;
    const std::wstring hidden = dir.file(L"hidden.bin");
    const std::wstring readOnly = dir.file(L"readonly.bin");
    vorlane::test::writeFile(hidden, "");
    vorlane::test::writeFile(readOnly, "");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(fileExists(hidden));
    EXPECT_TRUE(fileExists(readOnly));
}

TEST(ExistsInCombo, ExactMatchOnARealComboBox) {
    WindowHandle combo(CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWN | WS_POPUP, 0, 0, 120, 200, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(combo);
    EXPECT_FALSE(existsInCombo(L"Hours", combo.get()));  // no entries yet
    for (const wchar_t* item : {L"Minutes", L"Hours", L"Days"})
        SendMessageW(combo.get(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));

    EXPECT_TRUE(existsInCombo(L"Minutes", combo.get()));
    EXPECT_TRUE(existsInCombo(L"Days", combo.get()));
    EXPECT_FALSE(existsInCombo(L"minutes", combo.get()));
    EXPECT_FALSE(existsInCombo(L"Hour", combo.get()));
    EXPECT_FALSE(existsInCombo(L"Hours ", combo.get()));
    EXPECT_FALSE(existsInCombo(L"", combo.get()));
}

TEST(ExistsInCombo, NoComboBoxIsReportedAndMatchesNothing) {
    ErrorCapture capture;
    EXPECT_FALSE(existsInCombo(L"Hours", nullptr));
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(capture.reports()[0].where, L"Function existsInCombo, modMisc");
    EXPECT_EQ(capture.reports()[0].number, 91);
}

TEST(FormatTimeLeft, HoursMinutesSecondsAndDays) {
    EXPECT_EQ(formatTimeLeft(59), L"0:00:59");
    EXPECT_EQ(formatTimeLeft(60), L"0:01:00");
    EXPECT_EQ(formatTimeLeft(0), L"0:00:00");
    EXPECT_EQ(formatTimeLeft(3600), L"1:00:00");
    EXPECT_EQ(formatTimeLeft(3 * 3600 + 5 * 60 + 9), L"3:05:09");
    EXPECT_EQ(formatTimeLeft(86399), L"23:59:59");
    EXPECT_EQ(formatTimeLeft(86400), L"1 Day, 0:00:00");
    EXPECT_EQ(formatTimeLeft(86400 + 2 * 3600), L"1 Day, 2:00:00");
    EXPECT_EQ(formatTimeLeft(3 * 86400), L"3 Days, 0:00:00");
    EXPECT_EQ(formatTimeLeft(500 * 86400), L"500 Days, 0:00:00");
}

TEST(FormatTimeLeft, OverdueCountShowsItsSeconds) {
    EXPECT_EQ(formatTimeLeft(-5), L"0:00:-05");
    EXPECT_EQ(formatTimeLeft(-75), L"0:00:-75");
    EXPECT_EQ(formatTimeLeft(INT32_MIN), L"0:00:-2147483648");
}
