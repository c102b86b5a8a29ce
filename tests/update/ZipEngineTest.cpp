// The unzip engine on real archives into real folders.
#include "update/zip/UnzipRecords.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "core/Handles.h"
#include "tests/support/TestFiles.h"
#include "update/AnsiText.h"
#include "tests/update/UpdateTestSupport.h"

namespace vorlane::updater {
namespace {

using test::patternBytes;
using test::readFile;
using test::TempDir;
using test::treeOf;
using test::writeFile;
using test::zipFixture;

// What the routines were told, and what they answer.
struct Recorder {
    std::string printed;
    std::vector<std::string> listed;
    std::vector<std::string> serviced;
    std::optional<size_t> stopAtService;
    std::function<void(const std::string&)> onService;
    std::deque<std::optional<std::string>> passwords;  // nothing: the member declines
    int passwordCalls = 0;
    std::map<std::string, int> replaceAnswers;
    std::vector<std::string> replaceAsked;
    int sounds = 0;
};
Recorder recorder;

int32_t print(const char* text, uint32_t length) {
    recorder.printed.append(text, length);
    return 0;
}
void sound() { ++recorder.sounds; }
int32_t replace(const char* name) {
    recorder.replaceAsked.push_back(name);
    return recorder.replaceAnswers[name];
}
int16_t password(char* buffer, int32_t size, const char*, const char*) {
    ++recorder.passwordCalls;
    if (recorder.passwords.empty() || !recorder.passwords.front()) return 1;
    const std::string answer = *recorder.passwords.front();
    recorder.passwords.pop_front();
    strncpy_s(buffer, static_cast<size_t>(size), answer.c_str(), _TRUNCATE);
    return 0;
}
void message(uint64_t size, uint64_t, int32_t, int32_t month, int32_t day, int32_t year, int32_t hour,
             int32_t minute, char mark, const char* name, const char* method, uint32_t, int32_t) {
    char line[300];
    snprintf(line, sizeof line, "%s %llu %02d/%02d/%04d %02d:%02d %c%s", name, static_cast<unsigned long long>(size),
             month, day, year, hour, minute, mark, method);
    recorder.listed.push_back(line);
}
int32_t service(const char* name, uint32_t length) {
    recorder.serviced.emplace_back(name, length);
    if (recorder.onService) recorder.onService(recorder.serviced.back());
    return recorder.stopAtService && recorder.serviced.size() > *recorder.stopAtService ? 1 : 0;
}

// One run of the engine with the defaults the options class gives.
class ZipEngineTest : public ::testing::Test {
protected:
    void SetUp() override { recorder = Recorder{}; }

    UnzipOptionRecord options{0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, nullptr, nullptr};
    UnzipCallbackRecord callbacks{print, sound, replace, password, message, service, 0, 0, 0, 0, 0};
    UnzipNameList includes{};
    UnzipNameList excludes{};
    int32_t includeCount = 0;
    int32_t excludeCount = 0;
    TempDir temp;

    std::wstring installName = L"install";
    std::wstring target() const { return temp.file(installName); }
    std::string fileIn(const std::wstring& relative) const { return readFile(target() + L"\\" + relative); }

    int32_t unzip(const std::wstring& fixture) { return unzipInto(zipFixture(fixture), target()); }
    int32_t unzipInto(const std::wstring& archive, const std::wstring& folder) {
        options.ZipFileName = archive.c_str();
        options.ExtractDir = folder.c_str();
        return zipEngineUnzip(includeCount, &includes, excludeCount, &excludes, &options, &callbacks);
    }

    // A target folder that already holds an installation.
    void install(const std::map<std::wstring, std::string>& files) {
        CreateDirectoryW(target().c_str(), nullptr);
        for (const auto& [name, content] : files) {
            const size_t slash = name.rfind(L'\\');
            if (slash != std::wstring::npos) CreateDirectoryW((target() + L"\\" + name.substr(0, slash)).c_str(), nullptr);
            writeFile(target() + L"\\" + name, content);
        }
    }
};

const std::vector<std::wstring> kGoodTree = {L"config.ini",     L"data\\",        L"data\\images\\",
                                             L"data\\images\\pixel.bin",         L"docs\\",
                                             L"docs\\readme.txt", L"empty.txt",  L"gr\u00fc\u00dfe.txt",
                                             L"read me.txt"};

TEST_F(ZipEngineTest, UnpacksEveryMemberWithItsFoldersAndTimeStamps) {
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(treeOf(target()), kGoodTree);
    EXPECT_EQ(fileIn(L"docs\\readme.txt"), test::kReadme);
    EXPECT_EQ(fileIn(L"config.ini"), "[main]\r\nvalue=1\r\n");
    EXPECT_EQ(fileIn(L"data\\images\\pixel.bin"), patternBytes(3000, 7));
    EXPECT_EQ(fileIn(L"empty.txt"), "");
    EXPECT_EQ(fileIn(L"read me.txt"), "spaces");
    EXPECT_EQ(fileIn(test::kUmlautName), "umlaut");
    EXPECT_TRUE(test::hasLocalTime(target() + L"\\docs\\readme.txt", 2008, 7, 4, 9, 5, 30));
    EXPECT_TRUE(test::hasLocalTime(target() + L"\\config.ini", 2010, 12, 31, 23, 59, 58));
}

TEST_F(ZipEngineTest, ReportsEachMemberAndTheTotals) {
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    ASSERT_EQ(recorder.listed.size(), 7u);
    EXPECT_EQ(recorder.listed[1], "docs/readme.txt 30 07/04/2008 09:05  Deflated");
    EXPECT_EQ(recorder.listed[2], "config.ini 17 12/31/2010 23:59  Stored");
    EXPECT_EQ(recorder.serviced.size(), 7u);
    EXPECT_EQ(callbacks.memberCount, 7u);
    EXPECT_EQ(callbacks.totalSize, 30u + 17 + 3000 + 0 + 6 + 6);
    EXPECT_GT(callbacks.totalPackedSize, 0u);
    EXPECT_LT(callbacks.totalPackedSize, callbacks.totalSize);
    EXPECT_EQ(callbacks.commentLength, 20u);
    EXPECT_EQ(recorder.sounds, 1);
    EXPECT_NE(recorder.printed.find("Unpacked: docs/readme.txt\n"), std::string::npos);
    EXPECT_NE(recorder.printed.find("Made folder: docs/\n"), std::string::npos);
}

TEST_F(ZipEngineTest, EachLineFeedIsPrintedAsAPieceOfItsOwn) {
    static std::vector<std::string> pieces;
    pieces.clear();
    callbacks.print = [](const char* text, uint32_t length) -> int32_t {
        pieces.emplace_back(text, length);
        return 0;
    };
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    ASSERT_FALSE(pieces.empty());
    for (const std::string& piece : pieces)
        EXPECT_TRUE(piece == "\n" || piece.find('\n') == std::string::npos) << piece;
}

TEST_F(ZipEngineTest, ReplacesAnInstallationAndLeavesNothingBeside) {
    install({{L"config.ini", "old"}, {L"docs\\readme.txt", "old readme"}, {L"keep.dll", "untouched"}});
    SetFileAttributesW((target() + L"\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"config.ini"), "[main]\r\nvalue=1\r\n");
    EXPECT_EQ(fileIn(L"docs\\readme.txt"), test::kReadme);
    EXPECT_EQ(fileIn(L"keep.dll"), "untouched");
    std::vector<std::wstring> expected = kGoodTree;
    expected.push_back(L"keep.dll");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(treeOf(target()), expected);
}

TEST_F(ZipEngineTest, MakesAMissingTargetFolderWithItsParents) {
    const std::wstring deep = temp.file(L"a\\b\\c");
    ASSERT_EQ(unzipInto(zipFixture(L"good.zip"), deep), kUnzipOk);
    EXPECT_EQ(treeOf(deep), kGoodTree);
}

TEST_F(ZipEngineTest, KeepsExistingFilesWhenNotToOverwrite) {
    install({{L"config.ini", "old"}});
    options.OverWriteFiles = 0;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"config.ini"), "old");
    EXPECT_EQ(fileIn(L"empty.txt"), "");
    EXPECT_NE(recorder.printed.find("Kept: config.ini"), std::string::npos);
}

TEST_F(ZipEngineTest, AsksTheReplaceRoutineWhenToPrompt) {
    install({{L"config.ini", "old"}, {L"empty.txt", "old"}});
    options.OverWriteFiles = 0;
    options.PromptOverwrite = 1;
    recorder.replaceAnswers["config.ini"] = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(recorder.replaceAsked, (std::vector<std::string>{"config.ini", "empty.txt"}));
    EXPECT_EQ(fileIn(L"config.ini"), "[main]\r\nvalue=1\r\n");
    EXPECT_EQ(fileIn(L"empty.txt"), "old");

    // Without a routine to ask, nothing is replaced.
    callbacks.replace = nullptr;
    writeFile(target() + L"\\config.ini", "older");
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"config.ini"), "older");
}

TEST_F(ZipEngineTest, OnlyNewerMembersReplaceFilesAndNewOnesAreMade) {
    install({{L"config.ini", "newer than the member"}, {L"empty.txt", "older"}});
    test::setAge(target() + L"\\config.ini", 0);
    test::setAge(target() + L"\\empty.txt", -60LL * 60 * 24 * 365 * 30);  // 1990s
    options.ExtractOnlyNewer = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"config.ini"), "newer than the member");
    EXPECT_EQ(fileIn(L"empty.txt"), "");
    EXPECT_EQ(fileIn(L"read me.txt"), "spaces");
}

TEST_F(ZipEngineTest, FreshenReplacesOlderFilesButMakesNoNewOnes) {
    install({{L"config.ini", "newer"}, {L"empty.txt", "older"}});
    test::setAge(target() + L"\\config.ini", 0);
    test::setAge(target() + L"\\empty.txt", -60LL * 60 * 24 * 365 * 30);
    options.ExtractNewer = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"config.ini"), "newer");
    EXPECT_EQ(fileIn(L"empty.txt"), "");
    EXPECT_EQ(GetFileAttributesW((target() + L"\\read me.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ZipEngineTest, WithoutFoldersEveryFileLandsInTheTarget) {
    options.HonorDirectories = 0;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini", L"empty.txt", L"gr\u00fc\u00dfe.txt",
                                                           L"pixel.bin", L"read me.txt", L"readme.txt"}));
}

TEST_F(ZipEngineTest, BlanksInNamesBecomeUnderscores) {
    options.SpaceToUnderScore = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"read_me.txt"), "spaces");
}

TEST_F(ZipEngineTest, TextMembersGetCrLfWhenAskedAndOthersStayAsTheyAre) {
    options.ConvertCRtoCRLF = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"docs\\readme.txt"), "line one\r\nline two\r\nline three\r\n");
    EXPECT_EQ(fileIn(L"data\\images\\pixel.bin"), patternBytes(3000, 7));
}

TEST_F(ZipEngineTest, TestingWritesNothingAndFindsDamage) {
    options.TestZip = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(recorder.printed.find("Tested: docs/readme.txt OK"), std::string::npos);
    EXPECT_EQ(unzip(L"badcrc.zip"), kUnzipBadData);
}

TEST_F(ZipEngineTest, ListingOnlyCallsTheMessageRoutine) {
    options.ExtractList = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(recorder.listed.size(), 7u);
    EXPECT_TRUE(recorder.serviced.empty());
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ZipEngineTest, ContentsAndTheCommentCanGoToThePrintRoutine) {
    options.WriteToStdOut = 1;
    options.DisplayComment = 1;
    options.MessageLevel = 0;
    includes.names[0] = "docs/*";
    includeCount = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(recorder.printed, std::string("Vorlane test archive\n") + test::kReadme);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ZipEngineTest, NameListsSelectMembers) {
    includes.names[0] = "*.TXT";
    includes.names[1] = "config.ini";
    includeCount = 2;
    excludes.names[0] = "docs/*";
    excludeCount = 1;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini"}));

    options.CaseSensitive = 0;
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini", L"empty.txt", L"gr\u00fc\u00dfe.txt",
                                                           L"read me.txt"}));
    EXPECT_EQ(callbacks.memberCount, 4u);
}

// The fault these guard against: a member named "../x" written beside (or
// anywhere above) the installation.
TEST_F(ZipEngineTest, NamesLeavingTheTargetRefuseTheWholeArchive) {
    for (const wchar_t* fixture : {L"slip-parent.zip", L"slip-nested.zip", L"slip-backslash.zip",
                                   L"slip-absolute.zip"}) {
        recorder = Recorder{};
        EXPECT_EQ(unzip(fixture), kUnzipUnsafePath) << fixture;
        EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES) << fixture;
        EXPECT_EQ(treeOf(temp.path()), std::vector<std::wstring>{}) << fixture;
        EXPECT_TRUE(recorder.serviced.empty()) << fixture;
        EXPECT_NE(recorder.printed.find("outside the target folder"), std::string::npos) << fixture;
    }
    EXPECT_EQ(GetFileAttributesW(L"C:\\evil.txt"), INVALID_FILE_ATTRIBUTES);

    // A file member whose name names the target folder itself has nowhere to go.
    EXPECT_EQ(unzip(L"dotname.zip"), kUnzipUnsafePath);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);
}

// The fault these guard against: a damaged archive reported as success, or
// an installation left half old, half new.
TEST_F(ZipEngineTest, DamagedMembersLeaveTheInstallationAsItWas) {
    install({{L"first.txt", "old first"}, {L"other.txt", "other"}});
    const auto before = treeOf(target());
    EXPECT_EQ(unzip(L"badcrc.zip"), kUnzipBadData);
    EXPECT_NE(recorder.printed.find("Error: second.txt: checksum does not match"), std::string::npos);
    EXPECT_EQ(treeOf(target()), before);
    EXPECT_EQ(fileIn(L"first.txt"), "old first");

    EXPECT_EQ(unzip(L"baddeflate.zip"), kUnzipBadData);
    EXPECT_EQ(treeOf(target()), before);

    // Packed bytes after the compressed stream: another member to a reader
    // that finds the member's end by its stream.
    EXPECT_EQ(unzip(L"deflate-trailing.zip"), kUnzipAmbiguous);
    EXPECT_NE(recorder.printed.find("Error: readme.txt: holds bytes after its compressed data"), std::string::npos);
    EXPECT_EQ(treeOf(target()), before);
}

TEST_F(ZipEngineTest, DamagedOrForeignArchivesAreRefused) {
    for (const wchar_t* fixture : {L"truncated.zip", L"truncated-tail.zip", L"notzip.zip", L"oversize.zip"}) {
        EXPECT_EQ(unzip(fixture), kUnzipBadArchive) << fixture;
        EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES) << fixture;
    }
    EXPECT_EQ(unzip(L"missing.zip"), kUnzipNoArchive);
    EXPECT_EQ(unzip(L"bzip2.zip"), kUnzipUnsupported);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(recorder.printed.find("compression method 12"), std::string::npos);
}

TEST_F(ZipEngineTest, ArchivesAndMembersBeyondTheirOld32BitFields) {
    ASSERT_EQ(unzip(L"large.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"big.bin"), patternBytes(24 * 1024 * 1024, 11));
    EXPECT_EQ(fileIn(L"after.txt"), "after the big one");

    ASSERT_EQ(unzip(L"zip64.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"one.bin"), patternBytes(500, 3));
    EXPECT_EQ(fileIn(L"two.bin"), patternBytes(700, 5));
}

// The fault these guard against: a release refused, or unpacked under other
// names, for the way the archiver that made it writes what it holds.
TEST_F(ZipEngineTest, ArchivesAsArchiversOnEverySystemWriteThemInstall) {
    const struct Installed { const wchar_t* fixture; std::wstring place; std::string content; } rows[] = {
        {L"real-world.zip", L"tools\\bin\\run.cmd", "[main]\r\nvalue=1\r\n"},
        {L"real-world.zip", L"My Settings v2.0.ini", "[main]\r\nvalue=1\r\n"},
        {L"raw-real-world.zip", L"unix\\" + test::kUmlautName, "utf-8"},
        {L"raw-real-world.zip", L"oem\\" + test::kUmlautName, "code page 437"},
        {L"raw-real-world.zip", L"empty.bin", ""},
        {L"raw-real-world.zip", L"streamed.txt", test::kReadme},
        {L"raw-real-world.zip", L"marked.txt", test::kReadme},
        {L"raw-real-world.zip", L"synced\\cloud.txt", "cloud"},
        {L"raw-real-world.zip", L"S\u00e3o Paulo\\pra\u00e7a.jpg", "code page 850"},
    };
    for (const Installed& row : rows) {
        ASSERT_EQ(unzip(row.fixture), kUnzipOk) << row.fixture << ": " << recorder.printed;
        EXPECT_EQ(fileIn(row.place), row.content) << toAnsi(row.place);
    }
    std::string levels;
    for (int i = 0; i < 50; ++i) levels += test::kReadme;
    for (int level = 0; level <= 9; ++level) EXPECT_EQ(fileIn(L"level" + std::to_wstring(level) + L".txt"), levels);
}

// The fault this guards against: a path Windows takes refused for the longer
// names of the copies written beside it.
TEST_F(ZipEngineTest, PathsUpToTheLongestWindowsTakesInstallAndNoLonger) {
    const std::wstring place = L"long\\" + std::wstring(100, L'd') + L"\\" + std::wstring(80, L'f') + L".txt";
    const std::wstring longest = temp.file(std::wstring(MAX_PATH - 1 - place.size() - 1 - temp.path().size() - 1, L'i'));
    ASSERT_EQ(unzipInto(zipFixture(L"long-name.zip"), longest), kUnzipOk) << recorder.printed;
    EXPECT_EQ(readFile(longest + L"\\" + place), "far down");
    // Again, over the files now there: their old copies are longer still, and go.
    ASSERT_EQ(unzipInto(zipFixture(L"long-name.zip"), longest), kUnzipOk) << recorder.printed;
    EXPECT_EQ(treeOf(longest).size(), 4u);
    EXPECT_EQ(unzipInto(zipFixture(L"long-name.zip"), longest + L"i"), kUnzipUnsafePath);
}

TEST_F(ZipEngineTest, EncryptedMembersOpenWithTheRightPasswordAskedOnce) {
    recorder.passwords = {std::string("tulips2008")};
    ASSERT_EQ(unzip(L"encrypted.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"plain.txt"), "not secret");
    EXPECT_EQ(fileIn(L"secret.txt"), "the secret text");
    EXPECT_EQ(fileIn(L"secret2.txt"), "another secret");
    EXPECT_EQ(recorder.passwordCalls, 1);
    EXPECT_EQ(recorder.listed[1], "secret.txt 15 07/04/2008 09:05 *Deflated");
}

TEST_F(ZipEngineTest, EncryptedMembersWithoutTheRightPasswordFailTheRun) {
    recorder.passwords = {std::nullopt};
    EXPECT_EQ(unzip(L"encrypted.zip"), kUnzipNoPassword);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);

    recorder = Recorder{};
    recorder.passwords = {std::string("wrong"), std::string("tulips"), std::string("also wrong")};
    EXPECT_EQ(unzip(L"encrypted.zip"), kUnzipBadPassword);
    EXPECT_EQ(recorder.passwordCalls, 3);
    EXPECT_EQ(GetFileAttributesW(target().c_str()), INVALID_FILE_ATTRIBUTES);

    callbacks.password = nullptr;
    EXPECT_EQ(unzip(L"encrypted.zip"), kUnzipNoPassword);
}

TEST_F(ZipEngineTest, TheServiceRoutineCanStopTheRunBeforeAnythingChanges) {
    install({{L"config.ini", "old"}});
    recorder.stopAtService = 4;
    EXPECT_EQ(unzip(L"good.zip"), kUnzipCancelled);
    EXPECT_EQ(recorder.serviced.size(), 5u);
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini"}));
    EXPECT_EQ(fileIn(L"config.ini"), "old");
}

TEST_F(ZipEngineTest, AFileThatCannotBeReplacedPutsEveryOtherBack) {
    install({{L"config.ini", "old config"}, {L"read me.txt", "old read me"}});
    // Held open without leave to delete or rename: it cannot be moved aside.
    FileHandle held(CreateFileW((target() + L"\\read me.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(unzip(L"good.zip"), kUnzipDiskError);
    held.reset();
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini", L"read me.txt"}));
    EXPECT_EQ(fileIn(L"config.ini"), "old config");
    EXPECT_EQ(fileIn(L"read me.txt"), "old read me");

    // Held only for a moment, it is replaced once it is let go.
    held.reset(CreateFileW((target() + L"\\read me.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr));
    std::thread letGo([&held] {
        Sleep(300);
        held.reset();
    });
    EXPECT_EQ(unzip(L"good.zip"), kUnzipOk) << recorder.printed;
    letGo.join();
    EXPECT_EQ(fileIn(L"read me.txt"), "spaces");
}

// Until what is so, for at most the limit; whether it is.
bool waitUntil(const std::function<bool()>& what, DWORD limit = 30000) {
    for (const ULONGLONG end = GetTickCount64() + limit; !what(); Sleep(5))
        if (GetTickCount64() > end) return false;
    return true;
}

// A virus scanner's look at a place, from when it shows as the run puts it
// there: open without leave to delete or rename it, until let go, or, with a
// hold given, that many milliseconds after the undo has begun.
class Scanner {
public:
    Scanner(std::wstring place, std::function<bool()> shows, std::function<bool()> undoBegan, int hold)
        : thread_([=, this] {
              FileHandle look;
              if (!waitUntil(shows) || !waitUntil([&] {
                      look.reset(CreateFileW(place.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
                      return static_cast<bool>(look);
                  }))
                  return;
              looked_ = true;
              if (hold >= 0 && waitUntil(undoBegan)) Sleep(hold);
              else waitUntil([this] { return letGo_.load(); }, 60000);
          }) {}
    ~Scanner() {
        letGo();
        thread_.join();
    }
    void letGo() { letGo_ = true; }
    bool looked() const { return looked_; }

private:
    std::atomic<bool> letGo_{false}, looked_{false};
    std::thread thread_;
};

std::map<std::wstring, std::string> contentsOf(const std::wstring& folder) {
    std::map<std::wstring, std::string> contents;
    for (const std::wstring& path : treeOf(folder)) {
        const std::string bytes = path.ends_with(L'\\') ? "" : readFile(folder + L"\\" + path);
        const bool readOnly = GetFileAttributesW((folder + L"\\" + path).c_str()) & FILE_ATTRIBUTE_READONLY;
        contents[path] = (readOnly ? "read-only " : "") + (bytes.size() > 64 ? std::to_string(bytes.size()) : bytes);
    }
    return contents;
}

// The size of what is at path: a file's, 0 for a folder, -1 for nothing.
int64_t sizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (int64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The fault this guards against: a scanner that looks for a moment at a file
// just moved in while the install is undone, the undo that gives up on it,
// and the next run that leaves the new file in place and the old one beside.
TEST_F(ZipEngineTest, AnUndoUnderAScannerPutsEveryPlaceBackThenOrInTheNextRun) {
    const struct Row {
        const wchar_t* place;  // a file it replaces, one it adds, folders it makes
        int hold;              // milliseconds into the undo; -1 past the run
    } rows[] = {{L"config.ini", 500}, {L"data\\images\\pixel.bin", 200}, {L"data\\images", 900},
                {L"config.ini", -1},  {L"data\\images\\pixel.bin", -1},  {L"data", -1}};
    for (const Row& row : rows) {
        installName = L"install" + std::to_wstring(&row - rows);
        install({{L"config.ini", "old config"}, {L"empty.txt", "old empty"}, {L"read me.txt", "old read me"}});
        SetFileAttributesW((target() + L"\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
        const auto before = contentsOf(target());
        // Held past the patience of the swap, which fails there and is undone.
        FileHandle failing(CreateFileW((target() + L"\\read me.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        const std::wstring place = target() + L"\\" + row.place, empty = target() + L"\\empty.txt";
        const int64_t installed = sizeOf(place);
        bool swapped = false;  // empty.txt is undone just before the place
        Scanner scanner(
            place, [&] { return sizeOf(place) >= 0 && sizeOf(place) != installed; },
            [&] { return (swapped = swapped || sizeOf(empty) == 0) && sizeOf(empty) > 0; }, row.hold);
        const int32_t result = unzip(L"good.zip");
        EXPECT_TRUE(scanner.looked()) << toAnsi(row.place);
        scanner.letGo();
        failing.reset();
        if (row.hold < 0) {
            EXPECT_EQ(result, kUnzipNotRestored) << toAnsi(row.place);
            recorder.stopAtService = 0;
            EXPECT_EQ(unzip(L"good.zip"), kUnzipCancelled);
            recorder.stopAtService.reset();
        } else {
            EXPECT_EQ(result, kUnzipDiskError) << toAnsi(row.place) << ": " << recorder.printed;
        }
        EXPECT_EQ(contentsOf(target()), before) << toAnsi(row.place) << ": " << recorder.printed;
    }
}

// The first file in the folder whose name matches the pattern.
std::wstring fileLike(const std::wstring& folder, const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return L"";
    FindClose(search);
    return folder + L"\\" + found.cFileName;
}

// The fault this guards against: an undo that could not put a file back, and
// a log that still says nothing was changed.
TEST_F(ZipEngineTest, AFileThatCannotBePutBackIsNamedAndItsOldCopyKept) {
    install({{L"config.ini", "old config"}, {L"read me.txt", "old read me"}});
    // Held without leave to be renamed: it cannot be moved aside, so the commit fails there.
    FileHandle held(CreateFileW((target() + L"\\read me.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    // The new config.ini is open by then (with leave to be renamed, so it moves
    // in): an open file cannot be replaced by the old one again.
    FileHandle newConfig;
    recorder.onService = [&](const std::string& name) {
        if (name == "read me.txt")
            newConfig.reset(CreateFileW(fileLike(target(), L"config.ini.*.new").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    };
    EXPECT_EQ(unzip(L"good.zip"), kUnzipNotRestored);
    ASSERT_TRUE(newConfig);
    newConfig.reset();
    held.reset();

    const std::wstring kept = fileLike(target(), L"config.ini.*.old");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(readFile(kept), "old config");
    EXPECT_NE(recorder.printed.find("Not restored: " + toAnsi(target()) + "\\config.ini (the old file is kept as " +
                                    toAnsi(kept) + ")\n"),
              std::string::npos)
        << recorder.printed;
    // Every other file is back; beside config.ini, a mark for the next run.
    EXPECT_EQ(fileIn(L"read me.txt"), "old read me");
    EXPECT_EQ(treeOf(target()).size(), 4u);
}

TEST_F(ZipEngineTest, LeftoversOfEarlierRunsBesideTheMembersGoAndNothingElse) {
    install({{L"app.exe", "old app"},
             {L"app.exe.4242-8.old", "the old copy of a program that ran while it was replaced"},
             {L"APP.EXE.77-1.new", "a new copy of a run ended half way"},
             {L"app.exe.12-3.old", "an earlier copy of a member"},
             {L"app.exe.old", "not a side file"},
             {L"app.exe.1-x.old", "not a side file"},
             {L"other.txt.1-2.old", "the only copy of a file not in its place"}});
    ASSERT_EQ(unzip(L"leftovers.zip"), kUnzipOk);
    EXPECT_EQ(treeOf(target()),
              (std::vector<std::wstring>{L"app.exe", L"app.exe.1-x.old", L"app.exe.old", L"other.txt"}));
    EXPECT_EQ(fileIn(L"app.exe"), "the new app");
    EXPECT_EQ(fileIn(L"other.txt"), "the only copy of a file not in its place");
}

// The fault this guards against: a run ended between the two renames of a
// file left the installation without it, and the next run deleted the only
// copy (or, refused, left the file missing).
TEST_F(ZipEngineTest, WhatARunEndedHalfWayLeftIsPutRightByTheNext) {
    install({// Ended in its swap: config.ini in, app.exe moved aside but the new one not in, read me.txt not reached.
             {L"config.ini", "new config"}, {L"config.ini.4242-2.old", "old config"},
             {L"app.exe.4242-3.new", "new app"}, {L"app.exe.4242-4.old", "old app"},
             {L"read me.txt", "old read me"}, {L"read me.txt.4242-5.new", "new read me"},
             // Another's only copy of a file, whatever became of its new one.
             {L"docs\\manual.txt.77-2.old", "manual"},
             // Cut short while it was written.
             {L"config.ini.90-1.new", "[ma"},
             // Kept by an undo that could not put it back: the file in its place stays as it is.
             {L"kept.txt", "new kept"}, {L"kept.txt.55-2.old", "old kept"},
             // In a folder no member goes to: no run of this engine wrote there.
             {L"other\\x.txt.77-3.old", "not this installation's"}});
    // Even an archive that cannot be read finds the target's own folder whole again...
    EXPECT_EQ(unzip(L"notzip.zip"), kUnzipBadArchive);
    EXPECT_EQ(treeOf(target()),
              (std::vector<std::wstring>{L"app.exe", L"config.ini", L"docs\\", L"docs\\manual.txt.77-2.old", L"kept.txt",
                                         L"kept.txt.55-2.old", L"other\\", L"other\\x.txt.77-3.old", L"read me.txt"}));
    EXPECT_EQ(fileIn(L"app.exe"), "old app");
    EXPECT_EQ(fileIn(L"config.ini"), "old config");
    EXPECT_EQ(fileIn(L"read me.txt"), "old read me");
    EXPECT_EQ(fileIn(L"kept.txt"), "new kept");
    EXPECT_NE(recorder.printed.find("Put back: " + toAnsi(target()) + "\\app.exe\n"), std::string::npos)
        << recorder.printed;
    // ...and one that is read, the folders of its members, though it installs nothing.
    recorder.stopAtService = 0;
    EXPECT_EQ(unzip(L"good.zip"), kUnzipCancelled);
    EXPECT_EQ(fileIn(L"docs\\manual.txt"), "manual");
    EXPECT_EQ(fileIn(L"other\\x.txt.77-3.old"), "not this installation's");
    recorder.stopAtService.reset();

    // A run that writes no new files (freshening) keeps the only copy of a
    // member's file, and puts it in its place.
    DeleteFileW((target() + L"\\app.exe").c_str());
    writeFile(target() + L"\\app.exe.4242-8.old", "old app");
    options.ExtractNewer = 1;
    EXPECT_EQ(unzip(L"leftovers.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"app.exe"), "old app");
}

// The fault this guards against: an old copy an earlier run of the same
// process number kept made every later swap of that file fail.
TEST_F(ZipEngineTest, AnOldCopyKeptUnderTheNameTheSwapWouldTakeIsNoObstacle) {
    install({{L"config.ini", "old config"}});
    const std::wstring taken = target() + L"\\config.ini." + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int number = 1; number <= 20; ++number) writeFile(taken + std::to_wstring(number) + L".old", "kept");
    ASSERT_EQ(unzip(L"good.zip"), kUnzipOk) << recorder.printed;
    EXPECT_EQ(treeOf(target()), kGoodTree);
}

// The fault these guard against: an archive that means one thing to one
// reader and another to the next, or that costs far more than any release,
// half handled before it is found out.
TEST_F(ZipEngineTest, ArchivesThatCannotBeInstalledAsTheySayAreRefusedBeforeAnythingIsWritten) {
    struct Refusal {
        const wchar_t* fixture;
        UnzipResult code;
        const char* says;
    };
    const Refusal refusals[] = {
        {L"case-ascii.zip", kUnzipAmbiguous, "Error: App.exe and app.exe would be written to the same place"},
        {L"case-unicode.zip", kUnzipAmbiguous, "rger.txt would be written to the same place"},
        {L"slashes.zip", kUnzipAmbiguous, "docs/a.txt and docs\\a.txt would be written to the same place"},
        {L"same-name.zip", kUnzipAmbiguous, "a.txt and a.txt would be written to the same place"},
        {L"file-and-folder.zip", kUnzipAmbiguous, "docs and docs/readme.txt would be written to the same place"},
        {L"local-name.zip", kUnzipAmbiguous, "readme.txt: its local header names Vorlane.exe"},
        {L"unicode-path.zip", kUnzipAmbiguous, "readme.txt: its Unicode name is Vorlane.exe"},
        {L"unicode-folder.zip", kUnzipAmbiguous, "Error: plugins: its Unicode name is plugins/"},
        {L"unicode-stale.zip", kUnzipAmbiguous, "readme.txt: its Unicode name was made for another name"},
        {L"unicode-slip.zip", kUnzipUnsafePath, "Error: ../Vorlane.exe: would be written outside the target folder"},
        {L"unicode-device.zip", kUnzipUnsafePath, "Error: docs/CON.txt: would be written outside the target folder"},
        {L"unicode-drive.zip", kUnzipUnsafePath, "Error: C:Vorlane.exe: would be written outside the target folder"},
        {L"unicode-case.zip", kUnzipAmbiguous, "readme.txt and README.TXT would be written to the same place"},
        {L"unicode-long.zip", kUnzipUnsafePath, "ffff.txt: is too long a path"},
        {L"bad-utf8.zip", kUnzipAmbiguous, "Error: docs\xc0\xafVorlane.exe: its name is not valid UTF-8"},
        {L"shared-data.zip", kUnzipAmbiguous, "a.txt and a.txt share data"},
        {L"overlap.zip", kUnzipAmbiguous, "outer.bin and inner.txt share data"},
        {L"symlink.zip", kUnzipUnsupported, "plugins: is a symbolic link"},
        {L"side-name.zip", kUnzipAmbiguous, "app.exe.12-3.old: is named as the engine names its copies of a file"},
        {L"folder-data.zip", kUnzipAmbiguous, "Error: plugins/: is a folder that holds data"},
        {L"folder-attribute.zip", kUnzipAmbiguous, "Error: plugins: is named as a file but marked as a folder"},
        {L"folder-mode.zip", kUnzipAmbiguous, "Error: plugins: is named as a file but marked as a folder"},
        {L"method-after-password.zip", kUnzipUnsupported, "packed.bin: uses compression method 12"},
        {L"nul-name.zip", kUnzipUnsafePath, "Error: evil\\x00.txt: would be written outside the target folder"},
        {L"many-members.zip", kUnzipTooLarge, "holds 10001 members, more than the 10000"},
        {L"ratio.zip", kUnzipTooLarge, "zeros.bin: unpacks 20971520 bytes from"},
        {L"total-size.zip", kUnzipTooLarge, "unpacks to more than the 1024 MiB"},
        {L"many-records.zip", kUnzipTooLarge, "holds 10001 members, more than the 10000"},
        {L"trailing.zip", kUnzipAmbiguous, "Error: bytes follow the archive's end record"},
        {L"two-ends.zip", kUnzipAmbiguous, "Error: an end record's comment holds another end record"},
        {L"zip64-end-disagrees.zip", kUnzipAmbiguous, "Error: the 64-bit end record disagrees with the end record"},
        {L"zip64-extra-disagrees.zip", kUnzipAmbiguous, "readme.txt: its 64-bit fields disagree with the directory"},
        {L"extra-record.zip", kUnzipAmbiguous, "Error: the directory holds more than its 1 members"},
        {L"hidden-member.zip", kUnzipAmbiguous, "Error: bytes before the directory belong to no member"},
        {L"disk-count.zip", kUnzipAmbiguous, "Error: the end record's member counts disagree"},
        {L"local-sizes.zip", kUnzipAmbiguous, "readme.txt: its local header disagrees with the directory"},
        {L"descriptor-disagrees.zip", kUnzipAmbiguous, "readme.txt: the sizes after its data disagree"},
        {L"long-path.zip", kUnzipUnsafePath, ".txt: is too long a path"},
    };
    install({{L"keep.txt", "old"}});
    for (const Refusal& refusal : refusals) {
        recorder = Recorder{};
        recorder.passwords = {std::string("tulips2008")};
        EXPECT_EQ(unzip(refusal.fixture), refusal.code) << refusal.fixture;
        EXPECT_NE(recorder.printed.find(refusal.says), std::string::npos) << refusal.fixture << ": " << recorder.printed;
        EXPECT_EQ(treeOf(target()), std::vector<std::wstring>{L"keep.txt"}) << refusal.fixture;
        EXPECT_TRUE(recorder.serviced.empty()) << refusal.fixture;
        EXPECT_EQ(recorder.passwordCalls, 0) << refusal.fixture;
    }

    // A Unicode name that says what the stored one says is no reason to refuse,
    // nor are sizes after the data that say what the directory says.
    ASSERT_EQ(unzip(L"unicode-agrees.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(test::kUmlautName), "umlaut");
    ASSERT_EQ(unzip(L"descriptors.zip"), kUnzipOk);
    EXPECT_EQ(fileIn(L"readme.txt"), test::kReadme);
    EXPECT_EQ(fileIn(L"zip64.txt"), "sizes after the data in 64 bits");
}

TEST_F(ZipEngineTest, AnArchiveBeyondTheFreeSpaceOfTheDiskIsRefused) {
    // Z: is the host's root under Wine, and its process file system has no room at all.
    const std::wstring noRoom = L"Z:\\proc\\vorlane-" + std::to_wstring(GetCurrentProcessId()) + L"\\install";
    EXPECT_EQ(unzipInto(zipFixture(L"good.zip"), noRoom), kUnzipTooLarge);
    EXPECT_NE(recorder.printed.find("has only 0 free"), std::string::npos) << recorder.printed;
}

// The fault this guards against: a folder of the installation that is a link
// to elsewhere, and the elevated engine writing wherever it leads.
TEST_F(ZipEngineTest, AFolderThatLeadsElsewhereIsNotWrittenThrough) {
    install({{L"config.ini", "old"}});
    const std::wstring outside = temp.file(L"outside");
    CreateDirectoryW(outside.c_str(), nullptr);
    ASSERT_TRUE(test::makeFolderLink(target(), L"docs", L"../outside"));
    EXPECT_EQ(unzip(L"good.zip"), kUnzipUnsafePath);
    EXPECT_NE(recorder.printed.find("would be written through docs, a link to another place"), std::string::npos)
        << recorder.printed;
    EXPECT_EQ(treeOf(outside), std::vector<std::wstring>{});
    EXPECT_EQ(fileIn(L"config.ini"), "old");
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini", L"docs\\"}));

    // The installation folder itself may be where a link leads.
    const std::wstring real = temp.file(L"real");
    CreateDirectoryW(real.c_str(), nullptr);
    ASSERT_TRUE(test::makeFolderLink(temp.path(), L"linked", L"real"));
    EXPECT_EQ(unzipInto(zipFixture(L"good.zip"), temp.file(L"linked")), kUnzipOk);
    EXPECT_EQ(treeOf(real), kGoodTree);
}

// The fault this guards against: a link planted under the name of a new
// copy ("<place>.<process>-<number>.new"), the new file written wherever it
// leads, and that file deleted when the run is undone.
TEST_F(ZipEngineTest, ALinkWhereANewCopyGoesIsNotWrittenThrough) {
    install({{L"first.txt", "old first"}});
    const std::wstring planted = temp.file(L"outside");
    CreateDirectoryW(planted.c_str(), nullptr);
    writeFile(planted + L"\\planted", "");
    const std::wstring first = L"first.txt." + std::to_wstring(GetCurrentProcessId()) + L"-1.new";
    ASSERT_TRUE(test::makeHostLink(target(), first, L"../outside/planted"));
    EXPECT_EQ(unzip(L"badcrc.zip"), kUnzipBadData);
    EXPECT_EQ(readFile(planted + L"\\planted"), "");
    EXPECT_EQ(fileIn(L"first.txt"), "old first");
}

// The fault this guards against: a link named like a copy an earlier run
// left, deleted as one; under Wine that deletes the file it leads to.
TEST_F(ZipEngineTest, ALinkNamedLikeALeftoverIsNotDeletedThrough) {
    install({{L"config.ini", "old"}});
    const std::wstring outside = temp.file(L"outside");
    CreateDirectoryW(outside.c_str(), nullptr);
    writeFile(outside + L"\\planted", "outside");
    ASSERT_TRUE(test::makeHostLink(target(), L"config.ini.77-1.new", L"../outside/planted"));
    ASSERT_TRUE(test::makeHostLink(target(), L"docs.77-2.old", L"../outside/planted"));
    EXPECT_EQ(unzip(L"good.zip"), kUnzipOk);
    EXPECT_EQ(readFile(outside + L"\\planted"), "outside");
    EXPECT_EQ(fileIn(L"config.ini"), "[main]\r\nvalue=1\r\n");
}

TEST_F(ZipEngineTest, AFolderInTheWayOfAFileIsAFailure) {
    install({{L"config.ini\\inside.txt", "a folder named like the file"}});
    EXPECT_EQ(unzip(L"good.zip"), kUnzipDiskError);
    EXPECT_EQ(treeOf(target()), (std::vector<std::wstring>{L"config.ini\\", L"config.ini\\inside.txt"}));
}

TEST_F(ZipEngineTest, MissingRecordsAreRefused) {
    EXPECT_EQ(zipEngineUnzip(0, nullptr, 0, nullptr, nullptr, &callbacks), kUnzipBadParameter);
    EXPECT_EQ(zipEngineUnzip(0, nullptr, 0, nullptr, &options, nullptr), kUnzipBadParameter);
    options.ZipFileName = L"";
    EXPECT_EQ(zipEngineUnzip(0, nullptr, 0, nullptr, &options, &callbacks), kUnzipBadParameter);
}

TEST_F(ZipEngineTest, TheVersionRecordIsFilledOnlyAtItsSize) {
    UnzipVersionRecord version{};
    EXPECT_EQ(zipEngineVersion(&version), kUnzipBadParameter);
    version.structLength = sizeof version;
    ASSERT_EQ(zipEngineVersion(&version), kUnzipOk);
    EXPECT_EQ(version.flags & 1, 1);
    EXPECT_EQ(std::string(version.inflateVersion).substr(0, 2), "1.");
    EXPECT_EQ(version.engine.major, 1);
    EXPECT_EQ(version.zipFormat.major, 4);
}

}  // namespace
}  // namespace vorlane::updater
