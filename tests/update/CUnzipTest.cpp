// The options class and the driver: defaults, the module state the routines
// build, and the password box.
#include "update/CUnzip.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "tests/support/TestFiles.h"
#include "tests/update/UpdateTestSupport.h"
#include "update/InputBox.h"
#include "update/UpdateError.h"
#include "update/UpdateText.h"
#include "update/modZip.h"
#include "update/zip/UnzipRecords.h"

namespace vorlane::updater {
namespace {

using test::TempDir;
using test::zipFixture;

TEST(CUnzipTest, DefaultsAreSetWhenMade) {
    const CUnzip unzip;
    EXPECT_FALSE(unzip.ExtractNewer());
    EXPECT_FALSE(unzip.SpaceToUnderScore());
    EXPECT_FALSE(unzip.PromptOverwrite());
    EXPECT_EQ(unzip.MessageLevel(), 2);
    EXPECT_FALSE(unzip.WriteToStdOut());
    EXPECT_FALSE(unzip.TestZip());
    EXPECT_EQ(unzip.ExtractList(), 0);
    EXPECT_FALSE(unzip.ExtractOnlyNewer());
    EXPECT_FALSE(unzip.DisplayComment());
    EXPECT_TRUE(unzip.HonorDirectories());
    EXPECT_TRUE(unzip.OverWriteFiles());
    EXPECT_FALSE(unzip.ConvertCRtoCRLF());
    EXPECT_FALSE(unzip.Verbose());
    EXPECT_TRUE(unzip.CaseSensitive());
    EXPECT_EQ(unzip.Privilege(), 0);
    EXPECT_EQ(unzip.ZipFileName(), L"");
    EXPECT_EQ(unzip.ExtractDir(), L"");
}

TEST(CUnzipTest, FlagsReadBackWhatWasSet) {
    CUnzip unzip;
    unzip.setTestZip(true);
    unzip.setHonorDirectories(false);
    unzip.setMessageLevel(70000);
    EXPECT_TRUE(unzip.TestZip());
    EXPECT_FALSE(unzip.HonorDirectories());
    EXPECT_EQ(unzip.MessageLevel(), 70000);
    unzip.setTestZip(false);
    EXPECT_FALSE(unzip.TestZip());
}

TEST(CUnzipTest, EmptyArgumentsKeepTheStoredArchiveAndFolder) {
    TempDir temp;
    CUnzip unzip;
    unzip.setZipFileName(zipFixture(L"good.zip"));
    unzip.setExtractDir(temp.path());
    EXPECT_EQ(unzip.Unzip(L"", L""), kUnzipOk);
    EXPECT_EQ(test::readFile(temp.file(L"read me.txt")), "spaces");

    TempDir other;
    EXPECT_EQ(unzip.Unzip(zipFixture(L"zip64.zip"), other.path()), kUnzipOk);
    EXPECT_EQ(unzip.ZipFileName(), zipFixture(L"zip64.zip"));
    EXPECT_EQ(unzip.ExtractDir(), other.path());
    EXPECT_EQ(test::readFile(other.file(L"one.bin")), test::patternBytes(500, 3));
}

TEST(CUnzipTest, AnOptionBeyondSixteenBitsOverflowsBeforeAnythingRuns) {
    TempDir temp;
    for (auto set : {+[](CUnzip& u) { u.setMessageLevel(32768); }, +[](CUnzip& u) { u.setExtractList(-32769); },
                     +[](CUnzip& u) { u.setPrivilege(100000); }}) {
        CUnzip unzip;
        set(unzip);
        try {
            unzip.Unzip(zipFixture(L"good.zip"), temp.path());
            ADD_FAILURE() << "no error raised";
        } catch (const UpdateError& error) {
            EXPECT_EQ(error.number, errnum::Overflow);
            EXPECT_EQ(error.description, L"Overflow");
            EXPECT_EQ(error.source, L"CUnzip::Unzip");
        }
    }
    EXPECT_TRUE(test::treeOf(temp.path()).empty());
}

TEST(CUnzipTest, UnzipArchiveAnswersTheResultAndKeepsWhatWasPrinted) {
    TempDir temp;
    EXPECT_EQ(UnzipArchive(zipFixture(L"good.zip"), temp.path()), kUnzipOk);
    EXPECT_NE(PrintText.find(L"Unpacked: docs/readme.txt\r\n"), std::wstring::npos);
    for (size_t at = PrintText.find(L'\n'); at != std::wstring::npos; at = PrintText.find(L'\n', at + 1))
        EXPECT_EQ(PrintText[at - 1], L'\r') << "a line without CR LF at " << at;
    EXPECT_EQ(LastMessageText, PrintText);

    EXPECT_EQ(UnzipArchive(zipFixture(L"badcrc.zip"), temp.path()), kUnzipBadData);
    EXPECT_EQ(lastLine(LastMessageText), L"Error: second.txt: checksum does not match its data");
    EXPECT_EQ(PrintText.find(L"docs/readme.txt"), std::wstring::npos);  // a fresh start
    CUnzip unzip;
    EXPECT_EQ(unzip.GetLastMessage(), LastMessageText);
}

TEST(CUnzipTest, TheListingHasAHeaderAndALinePerMemberAndStartsAfresh) {
    TempDir temp;
    ASSERT_EQ(UnzipArchive(zipFixture(L"good.zip"), temp.path()), kUnzipOk);
    EXPECT_EQ(ListingLineCount, 7);
    const std::wstring header = listingHeaderLine() + L"\r\n";
    ASSERT_EQ(ListingText.substr(0, header.size()), header);
    const std::wstring readme = L"docs/readme.txt" + std::wstring(35, L' ') + L"     30" + L"  " + L"07/04/08" +
                                L"  " + L" 9:05" + std::wstring(6, L' ') + L"\r\n";
    EXPECT_NE(ListingText.find(readme), std::wstring::npos) << ListingText;
    EXPECT_EQ(ListingText.size(), 8 * 82u);

    TempDir again;
    ASSERT_EQ(UnzipArchive(zipFixture(L"zip64.zip"), again.path()), kUnzipOk);
    EXPECT_EQ(ListingLineCount, 2);
    EXPECT_EQ(ListingText.size(), 3 * 82u);
}

TEST(CUnzipTest, ListingColumns) {
    EXPECT_EQ(listingHeaderLine(), std::wstring(L"Filename:") + std::wstring(43, L' ') + L"Size     Date     Time" +
                                       std::wstring(6, L' '));
    const std::wstring line = listingMemberLine(1234, 7, 4, 2008, 9, 5, L"a.txt");
    EXPECT_EQ(line.size(), 80u);
    EXPECT_EQ(line.substr(0, 5), L"a.txt");
    EXPECT_EQ(line.substr(50, 7), L"   1234");
    EXPECT_EQ(line.substr(59, 15), L"07/04/08   9:05");
    // Eight digits and more keep their last seven.
    EXPECT_EQ(listingMemberLine(123456789, 12, 31, 1999, 23, 59, L"x").substr(50, 7), L"3456789");
    EXPECT_EQ(listingMemberLine(1234567, 1, 1, 2005, 0, 0, L"x").substr(50, 7), L"1234567");
    EXPECT_EQ(listingMemberLine(0, 1, 1, 2005, 0, 0, L"x").substr(59, 15), L"01/01/05   0:00");
    // Names are cut at 50 characters.
    const std::wstring longName(60, L'n');
    EXPECT_EQ(listingMemberLine(1, 1, 1, 2005, 0, 0, longName).substr(0, 51), std::wstring(50, L'n') + L" ");
}

TEST(CUnzipTest, PrintedPiecesStopAtZeroAndALeadingLineFeedBecomesCrLf) {
    PrintText.clear();
    EXPECT_EQ(UnzipPrintCallback("abc\0def", 7), 0);
    EXPECT_EQ(UnzipPrintCallback("\nrest is dropped", 16), 0);
    EXPECT_EQ(UnzipPrintCallback("xyz", 2), 0);
    EXPECT_EQ(UnzipPrintCallback(nullptr, 5), 0);
    EXPECT_EQ(PrintText, L"abc\r\nxy");
    EXPECT_EQ(LastMessageText, PrintText);
    EXPECT_EQ(UnzipServiceCallback("name", 4), 0);
}

// Answers the password box from another thread: types the answer and presses
// OK, or presses Cancel when there is none.
class PasswordTyper {
public:
    explicit PasswordTyper(std::optional<std::wstring> answer)
        : thread_([this, answer] {
              for (int i = 0; i < 500 && !stop_; ++i) {
                  HWND box = ownBox();
                  if (box) {
                      title = windowTextOf(box);
                      prompt = windowTextOf(FindWindowExW(box, nullptr, L"STATIC", nullptr));
                      if (answer)
                          SendMessageW(GetDlgItem(box, kInputBoxTextId), WM_SETTEXT, 0,
                                       reinterpret_cast<LPARAM>(answer->c_str()));
                      PostMessageW(box, WM_COMMAND, answer ? IDOK : IDCANCEL, 0);
                      ++boxes;
                      while (IsWindow(box) && !stop_) Sleep(10);
                  }
                  Sleep(10);
              }
          }) {}
    ~PasswordTyper() {
        stop_ = true;
        thread_.join();
    }

    std::wstring title;
    std::wstring prompt;
    std::atomic<int> boxes{0};

private:
    // Tests run side by side: only this process's box will do.
    static HWND ownBox() {
        HWND found = nullptr;
        EnumWindows(
            [](HWND window, LPARAM result) -> BOOL {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                wchar_t className[64] = {};
                GetClassNameW(window, className, 64);
                if (process != GetCurrentProcessId() || std::wstring(className) != kInputBoxClass ||
                    !IsWindowVisible(window))
                    return TRUE;
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static std::wstring windowTextOf(HWND window) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(CUnzipTest, ThePasswordBoxFillsTheBuffer) {
    PasswordSkipped = 0;
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    {
        PasswordTyper typer(L"tulips2008");
        EXPECT_EQ(UnzipPasswordCallback(buffer, sizeof buffer, "prompt", "secret.txt"), 0);
        EXPECT_EQ(typer.title, L"VorlaneUpdater");
        EXPECT_EQ(typer.prompt, L"Please Enter The Password!");
    }
    EXPECT_EQ(std::string(buffer), "tulips2008");
    EXPECT_EQ(std::string(buffer + 10, 6), std::string(6, '\0'));
    EXPECT_EQ(PasswordSkipped, 0);
}

TEST(CUnzipTest, APasswordAsLongAsTheBufferIsCutToLeaveItsZero) {
    PasswordSkipped = 0;
    char buffer[8];
    PasswordTyper typer(L"0123456789");
    EXPECT_EQ(UnzipPasswordCallback(buffer, sizeof buffer, "prompt", "secret.txt"), 0);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("0123456\0", 8));
}

TEST(CUnzipTest, ADeclinedPasswordIsNotAskedForAgainInTheSameExtraction) {
    PasswordSkipped = 0;
    char buffer[16] = {};
    PasswordTyper typer(std::nullopt);
    EXPECT_EQ(UnzipPasswordCallback(buffer, sizeof buffer, "prompt", "secret.txt"), 1);
    EXPECT_EQ(PasswordSkipped, 1);
    EXPECT_EQ(UnzipPasswordCallback(buffer, sizeof buffer, "prompt", "secret2.txt"), 1);
    EXPECT_EQ(typer.boxes, 1);
}

TEST(CUnzipTest, AnEncryptedArchiveThroughTheDriverAsksTheMember) {
    TempDir temp;
    PasswordTyper typer(L"tulips2008");
    EXPECT_EQ(UnzipArchive(zipFixture(L"encrypted.zip"), temp.path()), kUnzipOk);
    EXPECT_EQ(test::readFile(temp.file(L"secret2.txt")), "another secret");
    EXPECT_EQ(typer.boxes, 1);
}

}  // namespace
}  // namespace vorlane::updater
