// The ways an update ends the program: a verified archive handed to the update
// engine, the third mismatch, a No to the permission, a download that cannot go
// on, the member's exit; and an engine that does not start, which ends the
// update but not the program. Each runs in a process of its own: this test
// program again, copied into a folder of the test's own (with or without a
// stand-in engine in its Updater folder), running one UpdateScenario case.
// The child writes each box and notice it sees into a journal the moment it
// sees it, so the record outlives the process; the parent then checks the
// journal, the exit code, the service's log, the data folder and what the
// engine was started with.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <map>
#include <optional>

#include "core/ComApartment.h"
#include "core/Globals.h"
#include "core/Handles.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "tests/webclient/UpdateFixture.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "webclient/modMD5.h"
#include "webclient/modXML.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

// Set only in a child's environment: the journal's path, and the data folder.
constexpr const wchar_t* kJournalVariable = L"VORLANE_UPDATE_JOURNAL";
constexpr const wchar_t* kDataVariable = L"VORLANE_UPDATE_DATA";

// --- The journal: one record per box, notice or report, as UTF-16 text ---

struct Record {
    std::wstring kind;  // "box", "notice closed", "error", or "running" at a scenario's end
    std::wstring title;
    std::wstring text;
    bool operator==(const Record&) const = default;
};

void PrintTo(const Record& record, std::ostream* out) {
    const std::wstring all = record.kind + L" | " + record.title + L" | " + record.text;
    *out << std::string(all.begin(), all.end());
}

constexpr wchar_t kFieldEnd = L'\x1f';
constexpr wchar_t kRecordEnd = L'\x1e';

void appendRecord(const std::wstring& journal, const Record& record) {
    const std::wstring line = record.kind + kFieldEnd + record.title + kFieldEnd + record.text + kRecordEnd;
    FileHandle file(CreateFileW(journal.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
}

std::vector<Record> readRecords(const std::wstring& journal) {
    std::vector<Record> records;
    if (!fileExists(journal)) return records;
    const std::string bytes = readFile(journal);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t), reinterpret_cast<char*>(text.data()));
    size_t start = 0;
    for (size_t end; (end = text.find(kRecordEnd, start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t first = line.find(kFieldEnd);
        const size_t second = line.find(kFieldEnd, first + 1);
        records.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
    }
    return records;
}

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return length > 0 && length < ARRAYSIZE(value) ? std::wstring(value, length) : L"";
}

std::wstring ownPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// --- The child's side ---

// The child answers its boxes on its own window thread, as each one opens, and
// journals boxes and the closing notice there too: nothing waits on another
// thread, and every record is on disk before the answer can end the process.
struct ChildWatch {
    std::wstring journal;
    std::map<std::wstring, int> answers;  // by box title; OK when none is set
    std::map<std::wstring, std::function<void()>> whileOpen;  // by box title: what the member does before answering
    HWND noticeWindow = nullptr;
};
ChildWatch gWatch;

std::wstring windowText(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

bool isStandardDialog(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    return std::wstring(className) == L"#32770";
}

void answerBox(HWND box) {
    const std::wstring title = windowText(box);
    appendRecord(gWatch.journal, {L"box", title, windowText(GetDlgItem(box, 0xFFFF))});
    // A box leaves no window of the program usable underneath.
    if (GetWindow(box, GW_OWNER) != ui::windowInFront()) appendRecord(gWatch.journal, {L"box without owner", title, L""});
    if (const auto action = gWatch.whileOpen.find(title); action != gWatch.whileOpen.end()) action->second();
    const auto chosen = gWatch.answers.find(title);
    const int button = chosen != gWatch.answers.end() ? chosen->second : IDOK;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

LRESULT CALLBACK watchWindows(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION) {
        if (call->message == WM_INITDIALOG && isStandardDialog(call->hwnd)) {
            answerBox(call->hwnd);
        } else if (call->message == WM_DESTROY && call->hwnd == gWatch.noticeWindow) {
            const auto& slide = ui::formInstance<ui::FrmSlideMessage>();
            appendRecord(gWatch.journal, {L"notice closed", slide.lblTitle.Caption(), slide.lblStatusMsg.Caption()});
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One way for the update to go, run only as the child of an UpdateEnding test.
class UpdateScenario : public ::testing::Test {
protected:
    void SetUp() override {
        gWatch.journal = environmentValue(kJournalVariable);
        if (gWatch.journal.empty()) GTEST_SKIP() << "runs only in a process started by an UpdateEnding test";
        dataFolder = environmentValue(kDataVariable);
        gTimerFunctions = std::make_unique<CTimerFunctions>();
        gTimerFunctions->TimerInit();
        gQXAPI = std::make_unique<CQXAPI>();
        ui::frmMain().tmrMain.Tick = nullptr;
        prepareForUpdate();

        setErrorReporter([](const std::wstring& where, int32_t number, const std::wstring& description) {
            appendRecord(gWatch.journal, {L"error", where, std::to_wstring(number) + L" " + description});
        });
        prepareNotice();
        hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, watchWindows, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook_, nullptr);
    }

    // The notice window loaded ahead, quiet, and quick: a notice slides the
    // usual way in a tenth of the time.
    static void prepareNotice() {
        ui::FrmSlideMessage& slide = ui::frmSlideMessage();
        slide.tmrSlide.setEnabled(false);
        slide.slideDuration = 10;
        gWatch.noticeWindow = slide.hwnd();
    }

    void TearDown() override {
        if (hook_) UnhookWindowsHookEx(hook_);
    }

    static void answer(const std::wstring& title, int button) { gWatch.answers[title] = button; }
    static std::wstring link() { return archiveLink(serviceHosts().web.hostText()); }

    // The program's messages run; the update is to end the process meanwhile.
    void expectTheProgramToEnd() {
        pumpFor(std::chrono::seconds(60));
        ADD_FAILURE() << "the program is still running";
    }

    ComApartment com;
    HHOOK hook_ = nullptr;
};

// --- The parent's side ---

class UpdateEnding : public Update {
protected:
    struct Outcome {
        DWORD exitCode = STILL_ACTIVE;
        std::vector<Record> journal;
    };

    void installEngine() {
        ASSERT_TRUE(CreateDirectoryW(install.file(L"Updater").c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(hostPath(ENGINE_RECORDER_EXE).c_str(), enginePath().c_str(), TRUE));
    }

    // Runs UpdateScenario.<scenario> in a copy of this program in the install folder.
    Outcome run(const std::string& scenario) {
        Outcome outcome;
        const std::wstring program = install.file(L"Vorlane-under-test.exe");
        if (!CopyFileW(ownPath().c_str(), program.c_str(), TRUE)) {
            ADD_FAILURE() << "cannot copy the test program";
            return outcome;
        }
        const std::wstring journal = install.file(L"journal");
        std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=UpdateScenario." +
                                   std::wstring(scenario.begin(), scenario.end());
        SetEnvironmentVariableW(kJournalVariable, journal.c_str());
        SetEnvironmentVariableW(kDataVariable, dataFolder.c_str());
        // The child's own output, shown when it does not end as it should.
        const std::wstring outputPath = install.file(L"output.txt");
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        FileHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        // That file is the one handle the child inherits.
        HANDLE inherited = output.get();
        SIZE_T attributesSize = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &attributesSize);
        std::vector<char> attributes(attributesSize);
        auto* attributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        InitializeProcThreadAttributeList(attributeList, 1, 0, &attributesSize);
        UpdateProcThreadAttribute(attributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited, sizeof inherited,
                                  nullptr, nullptr);
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdOutput = output.get();
        startup.StartupInfo.hStdError = output.get();
        startup.lpAttributeList = attributeList;
        PROCESS_INFORMATION started{};
        const bool ok = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       EXTENDED_STARTUPINFO_PRESENT, nullptr, install.path().c_str(),
                                       &startup.StartupInfo, &started);
        DeleteProcThreadAttributeList(attributeList);
        SetEnvironmentVariableW(kJournalVariable, nullptr);
        SetEnvironmentVariableW(kDataVariable, nullptr);
        if (!ok) {
            ADD_FAILURE() << "cannot start the scenario: " << GetLastError();
            return outcome;
        }
        KernelHandle process(started.hProcess);
        KernelHandle thread(started.hThread);
        if (WaitForSingleObject(process.get(), 90'000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5'000);
            ADD_FAILURE() << "the scenario never ended";
        }
        GetExitCodeProcess(process.get(), &outcome.exitCode);
        outcome.journal = readRecords(journal);
        output.reset();
        if (outcome.exitCode != 0) {
            std::cout << "The scenario's output:\n" << readFile(outputPath) << "\nThe service's log:\n";
            for (const LoggedRequest& request : service.log())
                std::cout << request.sequence << " " << request.connection << " " << request.fault << " "
                          << request.requestLine() << "\n";
        }
        return outcome;
    }

    std::wstring enginePath() const { return install.file(L"Updater\\update.exe"); }

    // The parameter text the stand-in engine was started with, once it has
    // written it; nothing when it did not start within the time.
    std::optional<std::wstring> engineStartedWith(std::chrono::milliseconds within) {
        const std::wstring record = install.file(L"Updater\\started-with.txt");
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!fileExists(record)) {
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            Sleep(50);
        }
        const std::string bytes = readFile(record);
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t), reinterpret_cast<char*>(text.data()));
        Sleep(200);  // let it end before its folder goes
        return text;
    }

    // The MD5 text the service publishes for its archive by default.
    std::string servedDigest() {
        const std::string answer = service.control("/_control/update?name=" + std::string(kArchiveName));
        const size_t key = answer.find("\"md5\"");
        const size_t start = answer.find('"', answer.find(':', key)) + 1;
        return answer.substr(start, answer.find('"', start) - start);
    }

    TempDir install;
};

constexpr const char* kAnotherArchiveName = "Vorlane-1.0.114.zip";
constexpr const wchar_t* kAnotherArchiveFile = L"Vorlane-1.0.114.zip";

constexpr auto kEngineStarts = std::chrono::seconds(15);
constexpr auto kEngineWouldHaveStarted = std::chrono::seconds(1);

}  // namespace

// The child's scenarios (skipped unless started by the tests below).

TEST_F(UpdateScenario, MemberSaysNo) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    answer(L"Proceed with Update?", IDNO);
    upgradeVorlane(link());
    expectTheProgramToEnd();
}

TEST_F(UpdateScenario, MemberAsksForAChangeWithUpdatesOff) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    answer(L"Proceed with Update?", IDYES);
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
    expectTheProgramToEnd();
}

TEST_F(UpdateScenario, AutomaticUpdate) {
    upgradeVorlane(link());
    expectTheProgramToEnd();
}

// The update is forgotten and the program runs on as it did before it; the
// journal's last record says that it did. The same update announced again is
// left alone; another one is handled as the first was.
TEST_F(UpdateScenario, EngineDoesNotStart) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    answer(L"Proceed with Update?", IDYES);
    ASSERT_TRUE(ui::frmMain().tmrMain.Enabled());
    const std::wstring another = link().substr(0, link().rfind(L'/') + 1) + kAnotherArchiveFile;
    for (const std::wstring& announced : {link(), link(), another}) {
        prepareNotice();
        upgradeVorlane(announced);
        ASSERT_TRUE(pumpUntil([] { return !gQXAPI->apiDownloadingUpdate; }, std::chrono::seconds(60)));
        const auto& slide = ui::formInstance<ui::FrmSlideMessage>();
        pumpUntil([&] { return !slide.isLoaded() || !slide.tmrSlide.Enabled(); });  // a notice closes itself
    }

    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
    EXPECT_TRUE(ui::frmMain().Enabled());
    EXPECT_FALSE(gQXAPI->apiForced);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdateMD5);
    EXPECT_FALSE(ui::formInstance<ui::FrmDownloading>().isLoaded());
    appendRecord(gWatch.journal, {L"running", L"", L""});
}

// The member aborts the download while the box that announces its end is
// open; the update is forgotten and the program runs on.
TEST_F(UpdateScenario, MemberAbortsWhileTheDownloadedBoxIsOpen) {
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbUnchecked);
    answer(L"Proceed with Update?", IDYES);
    gWatch.whileOpen[L"Update Downloaded Successfully"] = [] {
        ui::formInstance<ui::FrmDownloading>().imgAbort_Click();
    };
    upgradeVorlane(link());
    ASSERT_TRUE(pumpUntil([] { return !gQXAPI->apiDownloadingUpdate; }, std::chrono::seconds(60)));
    pumpFor(std::chrono::milliseconds(500));
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
    EXPECT_TRUE(ui::frmMain().Enabled());
    appendRecord(gWatch.journal, {L"running", L"", L""});
}

TEST_F(UpdateScenario, MemberExitsWhileTheArchiveIsFetchedAgain) {
    upgradeVorlane(link());
    ASSERT_TRUE(pumpUntil([] { return gQXAPI->apiDownloadingUpdateErr == 1; }, std::chrono::seconds(60)));
    ASSERT_TRUE(fileExists(dataFolder + kArchiveFile + L".md5"));
    ui::frmMain().exitVorlane(true);
}

TEST_F(UpdateScenario, AutomaticUpdateWithQuickDeadlines) {
    gQXAPI->QXDownload.limits = {.idle = std::chrono::seconds(1), .grace = std::chrono::seconds(1)};
    upgradeVorlane(link());
    expectTheProgramToEnd();
}

// The endings.

TEST_F(UpdateEnding, NoToThePermissionEndsTheProgramAtOnce) {
    installEngine();
    const Outcome outcome = run("MemberSaysNo");
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, (std::vector<Record>{{L"box", L"Proceed with Update?", permissionText()}}));
    EXPECT_TRUE(updateRequestLines(service).empty());
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(engineStartedWith(kEngineWouldHaveStarted));
}

TEST_F(UpdateEnding, VerifiedArchiveStartsTheEngineWithItsName) {
    installEngine();
    // A checksum line ended by CR LF matches as one ended by LF does.
    service.control("/_control/update?name=" + std::string(kArchiveName) + "&md5_eol=crlf");
    service.fault("upgrade");
    const Outcome outcome = run("MemberAsksForAChangeWithUpdatesOff");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, (std::vector<Record>{
                                   {L"box", L"Proceed with Update?", permissionText()},
                                   {L"box", L"Auto-Update Starting", autoUpdateStartingText()},
                                   {L"box", L"Update Downloaded Successfully", downloadedText()},
                               }));
    EXPECT_EQ(updateRequestLines(service), (std::vector<std::string>{kArchiveRequest, kChecksumRequest}));
    EXPECT_EQ(engineStartedWith(kEngineStarts), kArchiveFile);
    ASSERT_TRUE(fileExists(archivePath()));
    const std::string digest = servedDigest();
    EXPECT_EQ(GetFileMD5(archivePath()), std::wstring(digest.begin(), digest.end()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

// The fault this guards against: an engine run ended while it replaced its
// own file left it moved aside, and no update could start any more.
TEST_F(UpdateEnding, AnEngineMovedAsideByARunEndedHalfWayIsPutBackAndStarted) {
    installEngine();
    const std::wstring movedAside = enginePath() + L".1234-7.old";
    ASSERT_TRUE(MoveFileW(enginePath().c_str(), movedAside.c_str()));
    const Outcome outcome = run("AutomaticUpdate");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, std::vector<Record>{});
    EXPECT_EQ(engineStartedWith(kEngineStarts), kArchiveFile);
    EXPECT_FALSE(fileExists(movedAside));
}

// The first archive corrupt and its checksum file answered empty: both are
// fetched afresh, and the update goes on.
TEST_F(UpdateEnding, MismatchFetchesBothFilesAgainWithoutAWord) {
    installEngine();
    service.fault("corrupt_archive", "&count=1");
    service.fault("raw", "&scope=update&match=.md5&data=HTTP%2F1.0+200+OK%0D%0AContent-Length%3A+0%0D%0A%0D%0A");
    const Outcome outcome = run("AutomaticUpdate");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, std::vector<Record>{});
    const std::vector<LoggedRequest> log = service.log();
    ASSERT_EQ(log.size(), 4u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].requestLine(), i % 2 == 0 ? kArchiveRequest : kChecksumRequest);
        EXPECT_EQ(log[i].fault, i == 0 ? "corrupt_archive" : i == 1 ? "raw" : "-");
    }
    EXPECT_EQ(engineStartedWith(kEngineStarts), kArchiveFile);
    const std::string digest = servedDigest();
    EXPECT_EQ(GetFileMD5(archivePath()), std::wstring(digest.begin(), digest.end()));
}

TEST_F(UpdateEnding, ThirdMismatchEndsTheProgramAfterTheNoticeHasClosed) {
    installEngine();
    // A checksum one digit off the archive's.
    std::string wrong = servedDigest();
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    service.control("/_control/update?name=" + std::string(kArchiveName) + "&md5=" + wrong);
    const Outcome outcome = run("AutomaticUpdate");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, (std::vector<Record>{
                                   {L"notice closed", L"Vorlane - Update Error", corruptUpdateText(service.address())},
                               }));
    EXPECT_EQ(updateRequestLines(service), (std::vector<std::string>{kArchiveRequest, kChecksumRequest, kArchiveRequest,
                                                                     kChecksumRequest, kArchiveRequest, kChecksumRequest}));
    EXPECT_FALSE(engineStartedWith(kEngineWouldHaveStarted));
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

// The fault this guards against: the engine started for an archive that the
// abort had just deleted, and no program left running.
TEST_F(UpdateEnding, AnAbortWhileTheDownloadedBoxIsOpenStartsNothing) {
    installEngine();
    const Outcome outcome = run("MemberAbortsWhileTheDownloadedBoxIsOpen");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, (std::vector<Record>{
                                   {L"box", L"Proceed with Update?", permissionText()},
                                   {L"box", L"Update Downloaded Successfully", downloadedText()},
                                   {L"running", L"", L""},
                               }));
    EXPECT_FALSE(engineStartedWith(kEngineWouldHaveStarted));
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

// An engine that is missing, or that is no program: the launch fails.
struct EngineCase {
    const char* name;
    const char* content;  // the engine file's bytes; none: no engine
};

void PrintTo(const EngineCase& engine, std::ostream* out) { *out << engine.name; }

class EngineThatDoesNotStart : public UpdateEnding, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineThatDoesNotStart, IsReportedOnceAndTheProgramRunsOnWithoutTheUpdate) {
    Record told{L"box", L"Critical Update Error", missingEngineText(service.address())};
    if (const char* content = GetParam().content) {
        ASSERT_TRUE(CreateDirectoryW(install.file(L"Updater").c_str(), nullptr));
        writeFile(enginePath(), content);
        told = {L"notice closed", L"Vorlane - Update Error", engineDidNotStartText(service.address())};
    }
    const Outcome outcome = run("EngineDoesNotStart");

    EXPECT_EQ(outcome.exitCode, 0u);
    // Asked and told once for the update however often it is announced, and once for another.
    const Record asked{L"box", L"Proceed with Update?", permissionText()};
    const Record downloaded{L"box", L"Update Downloaded Successfully", downloadedText()};
    EXPECT_EQ(outcome.journal,
              (std::vector<Record>{asked, downloaded, told, asked, downloaded, told, {L"running", L"", L""}}));
    const std::string another = std::string("GET /vorlane/dl/") + kAnotherArchiveName;
    EXPECT_EQ(updateRequestLines(service), (std::vector<std::string>{kArchiveRequest, kChecksumRequest,
                                                                     another + " HTTP/1.0", another + ".md5 HTTP/1.0"}));
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

const EngineCase kEngines[] = {{"Missing", nullptr}, {"NotAProgram", "this is not a program\r\n"}};

INSTANTIATE_TEST_SUITE_P(UpdateEnding, EngineThatDoesNotStart, ::testing::ValuesIn(kEngines),
                         [](const ::testing::TestParamInfo<EngineCase>& one) { return std::string(one.param.name); });

TEST_F(UpdateEnding, ExitDuringTheUpdateLeavesNoFileBehind) {
    installEngine();
    holdTheArchiveFetchedAgain(service);
    const Outcome outcome = run("MemberExitsWhileTheArchiveIsFetchedAgain");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, std::vector<Record>{});
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(fileExists(archivePath() + L".md5"));
}

// HTTP/1.0 lets a server end a file by closing: the checksum tells whether
// the archive came whole.
TEST_F(UpdateEnding, FilesWithoutASizeAreVerifiedAndInstalled) {
    installEngine();
    service.fault("no_length", "&scope=update&count=0");
    const Outcome outcome = run("AutomaticUpdate");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal, std::vector<Record>{});
    EXPECT_EQ(updateRequestLines(service), (std::vector<std::string>{kArchiveRequest, kChecksumRequest}));
    EXPECT_EQ(engineStartedWith(kEngineStarts), kArchiveFile);
    const std::string digest = servedDigest();
    EXPECT_EQ(GetFileMD5(archivePath()), std::wstring(digest.begin(), digest.end()));
}

namespace {

struct RudeUpdate {
    const char* name;
    const char* fault;
    const char* params;
};

const RudeUpdate kRudeUpdates[] = {
    {"SilentServer", "hang", "&scope=update&seconds=120"},
    {"NotFoundPage", "http_error", "&scope=update&status=404&count=0"},
    {"ChunkedBody", "chunked", "&scope=update&count=0"},
};

void PrintTo(const RudeUpdate& c, std::ostream* out) { *out << c.fault; }

class RudeUpdateDownload : public UpdateEnding, public ::testing::WithParamInterface<RudeUpdate> {};

}  // namespace

TEST_P(RudeUpdateDownload, EndsWithTheUpdateError) {
    installEngine();
    service.fault(GetParam().fault, GetParam().params);
    const Outcome outcome = run("AutomaticUpdateWithQuickDeadlines");

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.journal,
              (std::vector<Record>{{L"box", L"Update Error", updateErrorText(service.address())}}));
    EXPECT_EQ(updateRequestLines(service), std::vector<std::string>{kArchiveRequest});
    EXPECT_FALSE(fileExists(archivePath()));
    EXPECT_FALSE(engineStartedWith(kEngineWouldHaveStarted));
}

INSTANTIATE_TEST_SUITE_P(UpdateEnding, RudeUpdateDownload, ::testing::ValuesIn(kRudeUpdates),
                         [](const auto& one) { return std::string(one.param.name); });
