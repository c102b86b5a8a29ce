// Tests of member names as places, name patterns and time stamps.
#include "update/zip/ZipPaths.h"

#include <gtest/gtest.h>

namespace vorlane::updater {
namespace {

std::optional<std::wstring> placeOf(const wchar_t* name) { return memberTargetPath(name, true, false); }

TEST(ZipPathsTest, MemberNamesBecomePlacesBelowTheTarget) {
    EXPECT_EQ(placeOf(L"readme.txt"), L"readme.txt");
    EXPECT_EQ(placeOf(L"docs/readme.txt"), L"docs\\readme.txt");
    EXPECT_EQ(placeOf(L"docs/"), L"docs");
    EXPECT_EQ(placeOf(L"docs\\sub\\a.txt"), L"docs\\sub\\a.txt");
    EXPECT_EQ(placeOf(L"./docs//a.txt"), L"docs\\a.txt");
    EXPECT_EQ(placeOf(L"./"), L"");
    EXPECT_EQ(placeOf(L"..data/a..b"), L"..data\\a..b");
    EXPECT_EQ(placeOf(L"com10.txt"), L"com10.txt");
    EXPECT_EQ(placeOf(L"release~notes.txt"), L"release~notes.txt");
}

TEST(ZipPathsTest, NamesThatLeaveTheTargetOrMeanSomethingElseAreRefused) {
    for (const wchar_t* name : {L"../evil.txt", L"a/../../evil.txt", L"a/b/../c", L"..\\evil.txt", L"..",
                                L"/etc/evil", L"\\evil.txt", L"C:/evil.txt", L"C:evil.txt", L"a/b.txt:stream",
                                L"a/.. /b", L"a/../b", L"trailing./x", L"blank /x", L"...", L"con", L"NUL.txt",
                                L"docs/aux", L"com1", L"LPT9.log", L"a\x01"
                                L"b",
                                L"what?.txt", L"pipe|.txt", L"star*.txt",
                                // Devices with blanks before the dot, or a superscript digit.
                                L"sub/NUL .txt", L"CON .txt", L"COM\u00b9.txt", L"lpt\u00b3",
                                // The short names the file system gives long ones: another file's alias.
                                L"PROGRA~1/x.dll", L"LONG~NYX/x.txt", L"VORLAN~1.EXE"})
        EXPECT_EQ(placeOf(name), std::nullopt) << name;
}

TEST(ZipPathsTest, WithoutFoldersOnlyTheLastLevelIsKeptAndStillChecked) {
    EXPECT_EQ(memberTargetPath(L"docs/sub/readme.txt", false, false), L"readme.txt");
    EXPECT_EQ(memberTargetPath(L"docs/", false, false), L"docs");
    EXPECT_EQ(memberTargetPath(L"docs/..", false, false), std::nullopt);
    EXPECT_EQ(memberTargetPath(L"../x.txt", false, false), std::nullopt);
}

TEST(ZipPathsTest, BlanksBecomeUnderscoresWhenAsked) {
    EXPECT_EQ(memberTargetPath(L"my docs/read me.txt", true, true), L"my_docs\\read_me.txt");
    EXPECT_EQ(memberTargetPath(L"my docs/read me.txt", true, false), L"my docs\\read me.txt");
}

TEST(ZipPathsTest, PatternsMatchWithWildcards) {
    EXPECT_TRUE(matchesPattern(L"docs/readme.txt", L"*.txt", true));
    EXPECT_TRUE(matchesPattern(L"docs/readme.txt", L"docs\\*", true));
    EXPECT_TRUE(matchesPattern(L"abcbc", L"a*bc", true));
    EXPECT_TRUE(matchesPattern(L"a", L"?", true));
    EXPECT_TRUE(matchesPattern(L"", L"*", true));
    EXPECT_TRUE(matchesPattern(L"aXbYc", L"a*b*c", true));
    EXPECT_FALSE(matchesPattern(L"aXbY", L"a*b*c", true));
    EXPECT_FALSE(matchesPattern(L"", L"?", true));
    EXPECT_FALSE(matchesPattern(L"readme.txt", L"*.ini", true));
}

TEST(ZipPathsTest, LetterCaseCountsOnlyWhenAsked) {
    EXPECT_FALSE(matchesPattern(L"Docs/README.TXT", L"docs/*.txt", true));
    EXPECT_TRUE(matchesPattern(L"Docs/README.TXT", L"docs/*.txt", false));
}

TEST(ZipPathsTest, DosTimeStampsDecode) {
    // 2008-07-04 09:05:30
    const DosTimeStamp time = decodeDosTime((28 << 9) | (7 << 5) | 4, (9 << 11) | (5 << 5) | 15);
    EXPECT_EQ(time.year, 2008);
    EXPECT_EQ(time.month, 7);
    EXPECT_EQ(time.day, 4);
    EXPECT_EQ(time.hour, 9);
    EXPECT_EQ(time.minute, 5);
    EXPECT_EQ(time.second, 30);
}

}  // namespace
}  // namespace vorlane::updater
