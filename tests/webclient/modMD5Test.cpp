// Tests of the MD5 digests of texts, passwords and files.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "core/RuntimeError.h"
#include "tests/support/TestFiles.h"
#include "webclient/Md5.h"
#include "webclient/modMD5.h"

using namespace vorlane;
using vorlane::test::TempDir;

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(GetStringMD5(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(GetStringMD5(L"a"), L"0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(GetStringMD5(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(GetStringMD5(L"message digest"), L"f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(GetStringMD5(L"abcdefghijklmnopqrstuvwxyz"), L"c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(GetStringMD5(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              L"d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(GetStringMD5(L"12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              L"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesMakeTheSameDigestAsTheWhole) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += static_cast<char>(i * 37);
    const std::wstring whole = Md5::hexOf(text);
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
        Md5 md5;
        for (size_t at = 0; at < text.size(); at += piece) md5.update(std::string_view(text).substr(at, piece));
        EXPECT_EQ(Md5::hex(md5.finish()), whole) << "pieces of " << piece;
    }
}

TEST(Md5, PasswordIsHashedInTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the test session runs with the Western code page";
    // "é" is the single byte E9 in the code page, not the two bytes of UTF-8.
    EXPECT_EQ(GetStringMD5(L"\u00e9"), Md5::hexOf("\xE9"));
    EXPECT_EQ(GetStringMD5(L"\u4e2d"), Md5::hexOf("?"));
}

TEST(Md5, FilesAgreeWithTheHostsMd5sum) {
    std::ifstream expected(MD5_FIXTURES_DIR "/expected.txt");
    ASSERT_TRUE(expected) << "fixtures missing";
    int checked = 0;
    std::string name, digest;
    while (expected >> name >> digest) {
        const std::wstring path = vorlane::test::hostPath(std::string(MD5_FIXTURES_DIR) + "/" + name);
        EXPECT_EQ(GetFileMD5(path), std::wstring(digest.begin(), digest.end())) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 11);
}

TEST(Md5, MissingOrUnreadableFileRaisesInsteadOfDigestingNothing) {
    TempDir dir;
    auto numberFor = [](const std::wstring& path) {
        try {
            GetFileMD5(path);
        } catch (const RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberFor(dir.file(L"missing.zip")), errnum::FileNotFound);
    EXPECT_EQ(numberFor(dir.file(L"no-folder\\missing.zip")), errnum::PathNotFound);
    EXPECT_EQ(numberFor(L""), errnum::BadFileNameOrNumber);
    EXPECT_NE(numberFor(dir.path()), 0);  // a folder has no digest

    const std::wstring locked = dir.file(L"locked.zip");
    vorlane::test::writeFile(locked, "data");
    HANDLE exclusive = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_NE(numberFor(locked), 0);
    CloseHandle(exclusive);
    EXPECT_EQ(GetFileMD5(locked), Md5::hexOf("data"));
}
