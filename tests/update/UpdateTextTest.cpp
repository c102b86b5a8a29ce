// Tests of the update run's text work: the archive name, addresses and the status log.
#include "update/StatusLog.h"
#include "update/UpdateText.h"

#include <gtest/gtest.h>

namespace vorlane::updater {
namespace {

TEST(UpdateTextTest, TheArgumentsFollowTheProgramNameLiterally) {
    EXPECT_EQ(commandArguments(L"\"C:\\Program Files\\Vorlane\\Updater\\update.exe\" update-2.zip"), L"update-2.zip");
    EXPECT_EQ(commandArguments(L"update.exe update-2.zip"), L"update-2.zip");
    EXPECT_EQ(commandArguments(L"\"C:\\x\\update.exe\" \"update 2.zip\""), L"\"update 2.zip\"");
    EXPECT_EQ(commandArguments(L"\"C:\\x\\update.exe\"   update.zip "), L"  update.zip ");
    EXPECT_EQ(commandArguments(L"\"C:\\x\\update.exe\""), L"");
    EXPECT_EQ(commandArguments(L"\"C:\\x\\update.exe\" "), L"");
    EXPECT_EQ(commandArguments(L"update.exe"), L"");
    EXPECT_EQ(commandArguments(L""), L"");
}

TEST(UpdateTextTest, OnlyALastPieceOfExactlyZipIsAnArchive) {
    EXPECT_TRUE(isZipArchiveName(L"C:\\data\\Vorlane\\update.zip"));
    EXPECT_TRUE(isZipArchiveName(L"C:\\data\\Vorlane\\vorlane.1.2.zip"));
    EXPECT_FALSE(isZipArchiveName(L"C:\\data\\Vorlane\\update.ZIP"));
    EXPECT_FALSE(isZipArchiveName(L"C:\\data\\Vorlane\\update.zip.exe"));
    EXPECT_FALSE(isZipArchiveName(L"C:\\data\\Vorlane\\update"));
    // Without a dot in the name, a folder's dot decides: its piece runs to the end.
    EXPECT_FALSE(isZipArchiveName(L"C:\\data.zip\\Vorlane\\update"));
    EXPECT_TRUE(isZipArchiveName(L"C:\\data\\Vorlane\\.zip"));
    EXPECT_EQ(lastDotPiece(L"no dots here"), L"no dots here");
    EXPECT_EQ(lastDotPiece(L"ends with a dot."), L"");
}

TEST(UpdateTextTest, FolderOfAPath) {
    EXPECT_EQ(folderOf(L"C:\\Vorlane\\Updater\\update.exe"), L"C:\\Vorlane\\Updater");
    EXPECT_EQ(folderOf(L"update.exe"), L"");
}

TEST(UpdateTextTest, WebRootFollowsTheServiceOverride) {
    EXPECT_EQ(webRoot(L""), L"http://www.quorvex.com/");
    EXPECT_EQ(webRoot(L"127.0.0.1:8080"), L"http://127.0.0.1:8080/");
}

TEST(UpdateTextTest, LastLineOfALog) {
    EXPECT_EQ(lastLine(L"one\r\ntwo\r\n"), L"two");
    EXPECT_EQ(lastLine(L"one\r\ntwo"), L"two");
    EXPECT_EQ(lastLine(L"only"), L"only");
    EXPECT_EQ(lastLine(L"one\r\n\r\n"), L"one");
    EXPECT_EQ(lastLine(L""), L"");
    EXPECT_EQ(lastLine(L"\r\n"), L"");
}

TEST(UpdateTextTest, AFailedExtractionSaysWhetherTheInstallationIsAsItWas) {
    const std::wstring undone = L"Not put back: C:\\V\\d.dll (the old file is kept as C:\\V\\d.dll.5-2.old)\r\n"
                                L"Archive: C:\\data\\u.zip\r\nError: x.dll: checksum does not match its data\r\n";
    EXPECT_EQ(extractionFailureLines(true, undone),
              (std::vector<std::wstring>{L"Archive extraction failed, aborting! No files were changed.",
                                         L"Not put back: C:\\V\\d.dll (the old file is kept as C:\\V\\d.dll.5-2.old)",
                                         L"Error: x.dll: checksum does not match its data"}));
    const std::wstring notUndone =
        L"Archive: C:\\data\\u.zip\r\nUnpacked: a.dll\r\n"
        L"Not restored: C:\\V\\a.dll (the old file is kept as C:\\V\\a.dll.7-2.old)\r\n"
        L"Not restored: C:\\V\\b.dll (the new file could not be removed)\r\n"
        L"Error: cannot replace C:\\V\\c.dll (system error 32)\r\n";
    EXPECT_EQ(extractionFailureLines(false, notUndone),
              (std::vector<std::wstring>{L"Archive extraction failed, aborting! Some files could not be restored:",
                                         L"Not restored: C:\\V\\a.dll (the old file is kept as C:\\V\\a.dll.7-2.old)",
                                         L"Not restored: C:\\V\\b.dll (the new file could not be removed)",
                                         L"Error: cannot replace C:\\V\\c.dll (system error 32)"}));
}

// A line longer than the log can hold (a long file name) is cut, and a line
// cut in two counts once among those left out.
TEST(UpdateTextTest, ALogCutsALineLongerThanItHoldsAndCountsItOnce) {
    StatusLog log(200);
    log.add(std::wstring(300, L'x'));
    log.add(std::wstring(150, L'y'));
    log.add(L"end");
    EXPECT_EQ(log.text(), std::wstring(50, L'x') + L"\r\n... 2 lines left out ...\r\n" + std::wstring(98, L'y') +
                              L"\r\nend\r\n");
}

}  // namespace
}  // namespace vorlane::updater
