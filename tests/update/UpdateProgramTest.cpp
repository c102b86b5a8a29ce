// The built update engine, run as the main program runs it: a copy in the
// Updater folder of an installation made for the test, the archive under a
// name of the test's own in the real per-user data folder of the test prefix.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cwctype>

#include "tests/support/TestFiles.h"
#include "tests/update/ChildProcess.h"
#include "tests/update/UpdateTestSupport.h"
#include "update/frmMain.h"

namespace vorlane::test {
namespace {

using updater::FrmMain;

constexpr wchar_t kService[] = L"127.0.0.1:8099";
const std::wstring kReinstallLine = L"\r\nPlease reinstall Vorlane from http://127.0.0.1:8099/vorlane/\r\n";

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UpdateProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(install.c_str(), nullptr);
        CreateDirectoryW((install + L"\\Updater").c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(hostPath(UPDATE_EXE).c_str(), engine.c_str(), FALSE));
        wchar_t appData[MAX_PATH] = {};
        ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData));
        dataFolder = std::wstring(appData) + L"\\Vorlane\\";
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        static std::atomic<int> counter{0};
        archiveName = L"update-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
                      L".zip";
        SetEnvironmentVariableW(L"VORLANE_SERVICE", kService);
    }

    void TearDown() override { DeleteFileW(archive().c_str()); }

    std::wstring archive() const { return dataFolder + archiveName; }
    void placeArchive(const std::wstring& fixture, const std::wstring& name) {
        ASSERT_TRUE(CopyFileW(zipFixture(fixture).c_str(), (dataFolder + name).c_str(), FALSE));
    }
    void placeMainProgram() {
        ASSERT_TRUE(CopyFileW(hostPath(FAKE_VORLANE_EXE).c_str(), (install + L"\\Vorlane.exe").c_str(), FALSE));
    }

    // The status window once the run has given up; checks its fixed parts.
    HWND failedWindow(ChildProcess& update) {
        HWND window = update.waitForWindow(FrmMain::kClassName);
        if (!window) return nullptr;
        EXPECT_EQ(textOf(window), L"Vorlane - Software Update Engine");
        // The caret waits at the end of the log, nothing selected.
        HWND status = GetDlgItem(window, FrmMain::kStatusId);
        const auto selection = static_cast<DWORD>(SendMessageW(status, EM_GETSEL, 0, 0));
        const auto length = static_cast<WORD>(textOf(status).size());
        EXPECT_EQ(LOWORD(selection), length);
        EXPECT_EQ(HIWORD(selection), length);
        HWND done = GetDlgItem(window, FrmMain::kDoneId);
        EXPECT_EQ(textOf(done), L"Exit Update");
        EXPECT_TRUE(IsWindowEnabled(done));
        // The focus is on the button whenever the window is active. Other
        // tests' windows may take the foreground meanwhile: bring it back.
        GUITHREADINFO focus{};
        focus.cbSize = sizeof focus;
        for (int i = 0; i < 250 && (!GetGUIThreadInfo(update.threadId(), &focus) || focus.hwndFocus != done); ++i) {
            if (i % 25 == 24) SetForegroundWindow(window);
            Sleep(20);
        }
        EXPECT_EQ(focus.hwndFocus, done);
        return window;
    }

    std::wstring logOf(HWND window) { return textOf(GetDlgItem(window, FrmMain::kStatusId)); }

    void clickExit(HWND window, ChildProcess& update) {
        PostMessageW(GetDlgItem(window, FrmMain::kDoneId), BM_CLICK, 0, 0);
        EXPECT_TRUE(update.waitForExit(std::chrono::seconds(10)));
    }

    // The run on that name, refused as no update file, then its window closed.
    void expectRefusedAsInvalid(const std::wstring& name) {
        ChildProcess update(engine, name);
        HWND window = failedWindow(update);
        ASSERT_TRUE(window);
        EXPECT_EQ(logOf(window), L"Initalizing update engine...\r\nUsing update file: " + name +
                                     L"\r\nInvalid update file detected. Aborting.\r\n" + kReinstallLine);
        clickExit(window, update);
    }

    // The message box the run shows, answered with OK; its title and text.
    std::pair<std::wstring, std::wstring> answerMessageBox(ChildProcess& update) {
        HWND box = update.waitForWindow(L"#32770");
        if (!box) return {};
        std::pair<std::wstring, std::wstring> seen{textOf(box), textOf(GetDlgItem(box, 0xFFFF))};
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return seen;
    }

    TempDir temp;
    const std::wstring install = temp.file(L"Vorlane");
    const std::wstring engine = install + L"\\Updater\\update.exe";
    std::wstring dataFolder;
    std::wstring archiveName;
};

TEST_F(UpdateProgramTest, InstallsTheArchiveDeletesItAndStartsTheNewMainProgram) {
    writeFile(install + L"\\Vorlane.exe", "the old main program");
    CreateDirectoryW((install + L"\\docs").c_str(), nullptr);
    writeFile(install + L"\\docs\\readme.txt", "old readme");
    placeArchive(L"update.zip", archiveName);

    ChildProcess update(engine, archiveName);
    ASSERT_TRUE(update.waitForExit());
    EXPECT_FALSE(exists(archive()));
    EXPECT_EQ(readFile(install + L"\\docs\\readme.txt"), kReadme);
    // The engine has replaced its own running program file.
    EXPECT_EQ(readFile(engine), "the new update engine");
    EXPECT_EQ(readFile(install + L"\\Vorlane.exe"), readFile(hostPath(FAKE_VORLANE_EXE)));
    for (const std::wstring& item : treeOf(install))
        EXPECT_FALSE(item.ends_with(L".new")) << "left behind: " << item;

    // The new main program ran, in the installation folder, shown normally.
    const std::wstring marker = install + L"\\started.txt";
    ASSERT_TRUE(waitForFile(marker));
    Sleep(200);  // let it finish writing
    const std::string started = readFile(marker);  // the paths here are plain ASCII
    EXPECT_EQ(lower(std::wstring(started.begin(), started.end())),
              lower(install + L"\n\"" + install + L"\\Vorlane.exe\"\n1\n"));
}

TEST_F(UpdateProgramTest, AMissingArchiveIsNamedThenTheLogWaitsForExit) {
    placeMainProgram();
    ChildProcess update(engine, archiveName);
    const auto [title, text] = answerMessageBox(update);
    EXPECT_EQ(title, L"VorlaneUpdater");
    EXPECT_EQ(text, archive());

    HWND window = failedWindow(update);
    ASSERT_TRUE(window);
    EXPECT_EQ(logOf(window), L"Initalizing update engine...\r\nUsing update file: " + archiveName +
                                 L"\r\nUpdate file not found, aborting! Please reinstall Vorlane.\r\n" +
                                 kReinstallLine);
    clickExit(window, update);
    EXPECT_FALSE(exists(install + L"\\started.txt"));
}

TEST_F(UpdateProgramTest, TheNameIsTakenLiterallyQuotesAndAll) {
    placeArchive(L"update.zip", archiveName);
    ChildProcess update(engine, L"\"" + archiveName + L"\"");
    EXPECT_EQ(answerMessageBox(update).second, dataFolder + L"\"" + archiveName + L"\"");
    HWND window = failedWindow(update);
    ASSERT_TRUE(window);
    clickExit(window, update);
    EXPECT_TRUE(exists(archive()));
    EXPECT_FALSE(exists(install + L"\\docs"));
}

TEST_F(UpdateProgramTest, WithoutANameTheRunStopsAtOnce) {
    ChildProcess update(engine, L"");
    HWND window = failedWindow(update);
    ASSERT_TRUE(window);
    EXPECT_EQ(logOf(window),
              L"Initalizing update engine...\r\nNo update file detected. Aborting.\r\n" + kReinstallLine);
    clickExit(window, update);
}

TEST_F(UpdateProgramTest, AnExtensionInCapitalsIsNotAnArchive) {
    const std::wstring name = archiveName.substr(0, archiveName.size() - 3) + L"ZIP";
    placeArchive(L"update.zip", name);
    expectRefusedAsInvalid(name);
    EXPECT_TRUE(exists(dataFolder + name));
    DeleteFileW((dataFolder + name).c_str());
}

// The fault this guards against: a damaged archive reported as installed,
// deleted, and the main program restarted over a broken installation.
TEST_F(UpdateProgramTest, ADamagedArchiveChangesNothingAndSaysWhy) {
    placeMainProgram();
    writeFile(install + L"\\first.txt", "old first");
    placeArchive(L"badcrc.zip", archiveName);
    const auto before = treeOf(install);

    ChildProcess update(engine, archiveName);
    HWND window = failedWindow(update);
    ASSERT_TRUE(window);
    EXPECT_EQ(logOf(window), L"Initalizing update engine...\r\nUsing update file: " + archiveName +
                                 L"\r\nPreparing to extract archive...\r\n"
                                 L"Archive extraction failed, aborting! No files were changed.\r\n"
                                 L"Error: second.txt: checksum does not match its data\r\n" +
                                 kReinstallLine);
    clickExit(window, update);
    EXPECT_TRUE(exists(archive()));
    EXPECT_EQ(treeOf(install), before);
    EXPECT_EQ(readFile(install + L"\\first.txt"), "old first");
}

// The faults this guards against: an archive member named "../x" written next
// to the installation, wherever the elevated engine may write; a member name
// thousands of levels deep, and the engine dying on it without a word, the
// member left with nothing running.
TEST_F(UpdateProgramTest, AMemberThatCannotBeWrittenInTheInstallationRefusesTheArchive) {
    const std::pair<const wchar_t*, const wchar_t*> refusals[] = {
        {L"slip-parent.zip", L"Error: ../evil.txt: would be written outside the target folder\r\n"},
        {L"deep-name.zip", L"a/a/x.txt: is too long a path for Windows\r\n"},
    };
    placeMainProgram();
    const auto before = treeOf(install);
    for (const auto& [fixture, says] : refusals) {
        placeArchive(fixture, archiveName);
        ChildProcess update(engine, archiveName);
        HWND window = failedWindow(update);
        ASSERT_TRUE(window) << fixture;
        EXPECT_NE(logOf(window).find(says), std::wstring::npos) << logOf(window);
        clickExit(window, update);
        EXPECT_EQ(treeOf(install), before) << fixture;
        EXPECT_FALSE(exists(temp.file(L"evil.txt")));
        EXPECT_TRUE(exists(archive()));
    }
}

// The faults this guards against: the elevated engine unpacking, then
// deleting, an archive that a path in its name finds outside the data folder;
// reading a device (a serial port that never answers) as the archive.
TEST_F(UpdateProgramTest, ANameThatIsNoFileOfTheDataFolderIsRefused) {
    placeMainProgram();
    const std::wstring elsewhere = temp.file(L"elsewhere.zip");
    ASSERT_TRUE(CopyFileW(zipFixture(L"update.zip").c_str(), elsewhere.c_str(), FALSE));
    // From the data folder up to the root of its drive, then down to the archive.
    ASSERT_EQ(towlower(elsewhere[0]), towlower(dataFolder[0]));
    std::wstring upAndDown;
    for (size_t at = dataFolder.find(L'\\'); (at = dataFolder.find(L'\\', at + 1)) != std::wstring::npos;)
        upAndDown += L"..\\";
    upAndDown += elsewhere.substr(3);

    for (const std::wstring& name : {upAndDown, std::wstring(L"NUL.zip"), std::wstring(L"COM1.zip")}) {
        expectRefusedAsInvalid(name);
        EXPECT_TRUE(exists(elsewhere));
        EXPECT_FALSE(exists(install + L"\\docs"));
    }
}

// The fault this guards against: an update installed, its archive held open
// by another program (a scanner reading it), and the member left without a
// running program and with a run-time error.
TEST_F(UpdateProgramTest, AnArchiveThatCannotBeDeletedStillRestartsTheProgram) {
    writeFile(install + L"\\Vorlane.exe", "the old main program");
    placeArchive(L"update.zip", archiveName);
    FileHandle held(CreateFileW(archive().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    ChildProcess update(engine, archiveName);
    ASSERT_TRUE(update.waitForExit(std::chrono::seconds(20)));
    EXPECT_TRUE(waitForFile(install + L"\\started.txt"));
    EXPECT_EQ(readFile(install + L"\\docs\\readme.txt"), kReadme);

    // Held only for a moment, it goes.
    held.reset();
    ASSERT_TRUE(CopyFileW(hostPath(UPDATE_EXE).c_str(), engine.c_str(), FALSE));  // the release replaced it
    placeArchive(L"update.zip", archiveName);
    held.reset(CreateFileW(archive().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ChildProcess again(engine, archiveName);
    Sleep(300);
    held.reset();
    ASSERT_TRUE(again.waitForExit(std::chrono::seconds(20)));
    EXPECT_FALSE(exists(archive()));
}


TEST_F(UpdateProgramTest, AMainProgramThatCannotStartEndsWithTheRunTimeError) {
    placeArchive(L"good.zip", archiveName);
    // The old copy of the engine that an earlier update replaced while it ran:
    // it goes, though this archive holds no engine.
    const std::wstring oldEngine = engine + L".4242-8.old";
    writeFile(oldEngine, "the engine before the last update");
    ChildProcess update(engine, archiveName);
    const auto [title, text] = answerMessageBox(update);
    EXPECT_EQ(title, L"VorlaneUpdater");
    EXPECT_EQ(text, L"Run-time error '53':\r\n\r\nFile not found");
    EXPECT_TRUE(update.waitForExit(std::chrono::seconds(10)));
    // The steps before the start were done.
    EXPECT_FALSE(exists(archive()));
    EXPECT_EQ(readFile(install + L"\\config.ini"), "[main]\r\nvalue=1\r\n");
    EXPECT_FALSE(exists(oldEngine));
}

// The fault this guards against: a log set anew with all its text on every
// line, slower with each one, and without end; and one that, trimmed, has lost
// the headline and the first lines of what went wrong.
TEST(UpdateLogTest, AStatusLogOfManyLinesKeepsItsFirstAndLatestLinesAndStaysBounded) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", kService);
    FrmMain form;
    form.Load(L"");  // no archive named: the run stops with its window open
    ASSERT_FALSE(form.ended());
    const std::wstring head = L"Initalizing update engine...\r\nNo update file detected. Aborting.\r\n\r\n"
                              L"Please reinstall Vorlane from http://" + std::wstring(kService) + L"/vorlane/\r\n";
    auto expectBoundedEndingWith = [&form, &head](const std::wstring& lastLine, int written) {
        const std::wstring text = textOf(form.txtStatus);
        EXPECT_LE(text.size(), FrmMain::kLogLimit);
        EXPECT_TRUE(text.starts_with(head + L"line 0"));
        EXPECT_TRUE(text.ends_with(lastLine + L"\r\n"));
        // Every line is either shown or counted in the one line between.
        const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), L'\n'));
        const size_t count = text.find(L"\r\n... ") + 6;
        const std::wstring between = L" lines left out ...\r\nline ";
        EXPECT_EQ(text.substr(text.find(L' ', count), between.size()), between) << "whole lines go";
        EXPECT_EQ(std::stoul(text.substr(count)) + lines - 1, static_cast<size_t>(written + 4));
        DWORD start = 0, end = 0;
        SendMessageW(form.txtStatus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, text.size());
        EXPECT_EQ(end, text.size());
    };
    const std::wstring dots(90, L'.');
    // As during a run, with the window hidden, then shown.
    ShowWindow(form.hwnd(), SW_HIDE);
    for (int i = 0; i < 1000; ++i) form.AddStatus(L"line " + std::to_wstring(i) + dots);
    ShowWindow(form.hwnd(), SW_SHOW);
    expectBoundedEndingWith(L"line 999" + dots, 1000);
    // And with the window open.
    for (int i = 1000; i < 1200; ++i) form.AddStatus(L"line " + std::to_wstring(i) + dots);
    expectBoundedEndingWith(L"line 1199" + dots, 1200);
}

}  // namespace
}  // namespace vorlane::test
