// Which announced addresses an update is fetched from, the name its archive is
// kept under, and the checksum its companion file publishes.
#include <gtest/gtest.h>

#include "webclient/UpdateRules.h"

using namespace vorlane;

namespace {

const ServiceHosts kBuiltIn = serviceHostsFor(L"");

std::wstring nameOf(const std::wstring& link) { return updateArchiveName(link, kBuiltIn); }

}  // namespace

TEST(UpdateArchiveName, TheTwoPlacesUpdatesComeFrom) {
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.zip"), L"Vorlane-1.0.113.zip");
    EXPECT_EQ(nameOf(L"http://www.quorvex.com/vorlane/dl/Vorlane-1.0.113.zip"), L"Vorlane-1.0.113.zip");
    // Anywhere below the download host's folder; the name is the last piece.
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/dl/2008/Vorlane_1.1.zip"), L"Vorlane_1.1.zip");
}

TEST(UpdateArchiveName, OtherPlacesAreRefused) {
    EXPECT_EQ(nameOf(L"http://www.quorvex.com/vorlane/Vorlane-1.0.113.zip"), L"");  // web host without dl/
    EXPECT_EQ(nameOf(L"http://api.quorvex.com/vorlane/dl/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"https://download.quorvex.com/vorlane/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"HTTP://download.quorvex.com/vorlane/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"http://Download.quorvex.com/vorlane/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com.example.net/vorlane/Vorlane-1.0.113.zip"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com:8080/vorlane/Vorlane-1.0.113.zip"), L"");
}

TEST(UpdateArchiveName, APathThatLeavesItsPlaceIsRefused) {
    // A server resolves these to a folder the prefix does not allow.
    for (const wchar_t* link : {L"http://www.quorvex.com/vorlane/dl/../../uploads/Vorlane.zip",
                                L"http://download.quorvex.com/vorlane/./../uploads/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/..",
                                L"http://www.quorvex.com/vorlane/dl/%2e%2E/%2E%2e/uploads/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/..%2Fuploads/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/..%5c..%5Cuploads/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/..\\..\\uploads/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/x?y=/Vorlane.zip",
                                L"http://www.quorvex.com/vorlane/dl/x#/Vorlane.zip"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(link)));
        EXPECT_EQ(nameOf(link), L"");
    }
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/v1.2/...x/Vorlane.zip"), L"Vorlane.zip");
}

TEST(UpdateArchiveName, OnlyAnExactZipEnding) {
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.ZIP"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.Zip"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.zip?mirror=2"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.zip/"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/Vorlane-1.0.113.exe"), L"");
}

TEST(UpdateArchiveName, ShortAddressesAreRefused) {
    EXPECT_EQ(nameOf(L""), L"");
    EXPECT_EQ(nameOf(L".zip"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane"), L"");
    EXPECT_EQ(nameOf(L"http://download.quorvex.com/vorlane/"), L"");
    EXPECT_EQ(nameOf(L"http://www.quorvex.com/vorlane/dl"), L"");
}

TEST(UpdateArchiveName, NamesThatAreNotPlainFileNamesAreRefused) {
    const std::wstring base = L"http://download.quorvex.com/vorlane/";
    EXPECT_EQ(nameOf(base + L".zip"), L"");                // nothing before the ending
    EXPECT_EQ(nameOf(base + L"..\\..\\Startup.zip"), L"");  // out of the data folder
    EXPECT_EQ(nameOf(base + L"..zip"), L"");
    EXPECT_EQ(nameOf(base + L"C:Vorlane.zip"), L"");        // a drive
    EXPECT_EQ(nameOf(base + L"Vorlane.txt:x.zip"), L"");    // a stream of another file
    EXPECT_EQ(nameOf(base + L"Vorlane 1.zip"), L"");        // two parameters for the engine
    EXPECT_EQ(nameOf(base + L"Vorlane\t1.zip"), L"");
    EXPECT_EQ(nameOf(base + L"Vor*lane.zip"), L"");
    EXPECT_EQ(nameOf(base + L"Vor\"lane.zip"), L"");
    EXPECT_EQ(nameOf(base + L"Vor<lane>.zip"), L"");
    EXPECT_EQ(nameOf(base + L"Vor|lane.zip"), L"");
    EXPECT_EQ(nameOf(base + L"Vor\x01lane.zip"), L"");
    // What is left is the name as written, including characters beyond ASCII.
    EXPECT_EQ(nameOf(base + L"Vorlane-Grüße.v1.zip"), L"Vorlane-Grüße.v1.zip");
    EXPECT_EQ(nameOf(base + L"Vorlane%201.zip"), L"Vorlane%201.zip");
}

TEST(UpdateArchiveName, DeviceNamesAndControlCharactersAreRefused) {
    const std::wstring base = L"http://download.quorvex.com/vorlane/";
    for (const wchar_t* name : {L"NUL.zip", L"CON.zip", L"PRN.zip", L"AUX.zip", L"nul.zip", L"Con.zip", L"COM1.zip",
                                L"com9.zip", L"COM0.zip", L"LPT1.zip", L"lpt9.zip", L"LPT0.zip", L"COM\u00B9.zip",
                                L"LPT\u00B2.zip", L"com\u00B3.zip", L"NUL.v2.zip", L"CONIN$.zip", L"conout$.zip",
                                L"Vorlane\u0085.zip", L"Vorlane\u009B1.zip", L"Vorlane\x7F.zip"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_EQ(nameOf(base + name), L"");
    }
    // Near misses are plain names.
    for (const wchar_t* name : {L"CONSOLE.zip", L"COM10.zip", L"NULL.zip", L"LPT.zip", L"AUXILIARY.zip",
                                L"Vorlane-CON.zip", L"COM\u00B4.zip", L"xNUL.zip"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_EQ(nameOf(base + name), name);
    }
}

TEST(UpdateArchiveName, TheStandInServesBothPlacesOnItsOwnPort) {
    const ServiceHosts standIn = serviceHostsFor(L"127.0.0.1:8123");
    EXPECT_EQ(updateArchiveName(L"http://127.0.0.1:8123/vorlane/dl/Vorlane-1.0.113.zip", standIn),
              L"Vorlane-1.0.113.zip");
    EXPECT_EQ(updateArchiveName(L"http://127.0.0.1:8123/vorlane/Vorlane-1.0.113.zip", standIn),
              L"Vorlane-1.0.113.zip");
    EXPECT_EQ(updateArchiveName(L"http://127.0.0.1/vorlane/dl/Vorlane-1.0.113.zip", standIn), L"");
    EXPECT_EQ(updateArchiveName(L"http://127.0.0.1:81234/vorlane/dl/Vorlane-1.0.113.zip", standIn), L"");
}

TEST(PublishedChecksum, TheFirstFieldOfTheFirstLine) {
    const std::string digest = "0cc175b9c0f1b6a831c399e269772661";
    const std::wstring expected(digest.begin(), digest.end());
    EXPECT_EQ(publishedChecksum(digest + "\n"), expected);
    EXPECT_EQ(publishedChecksum(digest + "\r\n"), expected);
    EXPECT_EQ(publishedChecksum(digest), expected);
    EXPECT_EQ(publishedChecksum(digest + ",Vorlane-1.0.113.zip\r\n"), expected);
    EXPECT_EQ(publishedChecksum(digest + "\nsecond line\n"), expected);
    // As other tools write them: the archive's name after it, blanks or a
    // byte-order mark before it, capitals.
    for (const std::string& content : {digest + "  Vorlane-1.0.113.zip\n", digest + " *Vorlane-1.0.113.zip\n",
                                       " " + digest, "\r\n" + digest + "\r\n", digest + "\t", "\xEF\xBB\xBF" + digest,
                                       std::string("0CC175B9C0F1B6A831C399E269772661\n")})
        EXPECT_EQ(publishedChecksum(content), expected) << content;
}

TEST(PublishedChecksum, NothingWhenTheFieldIsNot32HexDigits) {
    const std::string digest = "0cc175b9c0f1b6a831c399e269772661";
    for (const std::string& content : {std::string(), std::string("\n"), "," + digest, digest.substr(1) + "\n",
                                       digest + "0\n", std::string("0cc175b9c0f1b6a831c399e26977266g"),
                                       "\xEF\xBB" + digest, "Vorlane-1.0.113.zip " + digest})
        EXPECT_EQ(publishedChecksum(content), L"") << content;
}

TEST(MovedAsideCopy, OnlyTheNamesTheEngineGivesIt) {
    EXPECT_TRUE(isMovedAsideCopy(L"update.exe.1234-7.old", L"update.exe"));
    EXPECT_TRUE(isMovedAsideCopy(L"UPDATE.EXE.1-2.OLD", L"update.exe"));
    for (const wchar_t* name : {L"update.exe.old", L"update.exe.1-x.old", L"update.exe.-2.old", L"update.exe.1-.old",
                                L"update.exe.1-2.new", L"update.exe.1-2.old.txt", L"updater.exe.1-2.old",
                                L"update.exe1-2.old", L"update.exe.12.old", L"update.exe.1-2-3.old"})
        EXPECT_FALSE(isMovedAsideCopy(name, L"update.exe")) << name;
}
