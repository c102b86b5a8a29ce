// Tests of the update engine's file and folder tests and its data folder.
#include "update/FileTests.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"
#include "update/frmMain.h"

namespace vorlane::updater {
namespace {

using test::TempDir;

TEST(FileTestsTest, FilesAndFoldersAreToldApart) {
    TempDir temp;
    test::writeFile(temp.file(L"file.txt"), "x");
    SetFileAttributesW(temp.file(L"file.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(fileExists(temp.file(L"file.txt")));
    EXPECT_FALSE(dirExists(temp.file(L"file.txt")));
    EXPECT_TRUE(dirExists(temp.path()));
    EXPECT_FALSE(fileExists(temp.path()));
    for (const std::wstring& nothing : {temp.file(L"missing"), std::wstring(), std::wstring(L"Q:\\no\\drive")}) {
        EXPECT_FALSE(fileExists(nothing));
        EXPECT_FALSE(dirExists(nothing));
    }
    SetFileAttributesW(temp.file(L"file.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileTestsTest, TheDataFolderIsMadeOneLevelDeep) {
    TempDir temp;
    EXPECT_TRUE(makeDataFolder(temp.file(L"Vorlane\\")));
    EXPECT_TRUE(dirExists(temp.file(L"Vorlane")));
    EXPECT_TRUE(makeDataFolder(temp.file(L"Vorlane\\")));  // already there
    EXPECT_FALSE(makeDataFolder(temp.file(L"missing\\Vorlane\\")));
    test::writeFile(temp.file(L"taken"), "a file where the folder should be");
    EXPECT_FALSE(makeDataFolder(temp.file(L"taken\\")));
}

TEST(FileTestsTest, TheDataFolderLiesInTheUsersApplicationData) {
    const std::optional<std::wstring> folder = dataFolderPath(nullptr);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->ends_with(L"\\Vorlane\\"));
    EXPECT_TRUE(dirExists(folder->substr(0, folder->size() - 9)));
}

}  // namespace
}  // namespace vorlane::updater
