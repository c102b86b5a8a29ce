// The update run: find the archive in the data folder, unpack it over the
// installation, delete it and start the main program again.
#include "update/frmMain.h"

#include <shlobj.h>

#include <vector>

#include "update/FileTests.h"
#include "update/UpdateError.h"
#include "update/UpdateText.h"
#include "update/modZip.h"
#include "update/zip/PutBack.h"
#include "update/zip/UnzipRecords.h"
#include "update/zip/ZipPaths.h"

namespace vorlane::updater {

namespace {

std::wstring serviceWebRoot() {
    wchar_t value[512];
    const DWORD length = GetEnvironmentVariableW(L"VORLANE_SERVICE", value, ARRAYSIZE(value));
    return webRoot(length > 0 && length < ARRAYSIZE(value) ? std::wstring_view(value, length) : L"");
}

std::wstring programPage() { return serviceWebRoot() + L"vorlane/"; }
std::wstring contactPage() { return serviceWebRoot() + L"contact/"; }

std::wstring modulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (needed == 0 || length == 0 || length >= needed) return path;
    full.resize(length);
    return full;
}

bool missingFileError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// True when the archive is gone. One that another program holds open (a
// scanner reading it) is waited for a moment, as the install waits for its
// files, and else goes when the system next starts; the update is in place
// all the same, and the program is started again.
bool deleteArchive(const std::wstring& archive) {
    if (deleteWhenFree(archive)) return true;
    MoveFileExW(archive.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return false;
}

// Starts the program as a normal window with the focus, in its own folder,
// without waiting for it.
void startProgram(const std::wstring& path) {
    const std::wstring program = fullPath(path);
    std::wstring commandLine = L"\"" + program + L"\"";
    const std::wstring folder = folderOf(program);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        raiseError(missingFileError(GetLastError()) ? errnum::FileNotFound : errnum::InvalidCall, L"frmMain");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

std::optional<std::wstring> dataFolderPath(HWND owner) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(owner, CSIDL_APPDATA, nullptr, 0, buffer))) return std::nullopt;
    return std::wstring(buffer) + L"\\Vorlane\\";
}

bool makeDataFolder(const std::wstring& folder) {
    if (!dirExists(folder) && !CreateDirectoryW(folder.c_str(), nullptr)) return false;
    return dirExists(folder);
}

FrmMain::FrmMain() = default;
FrmMain::~FrmMain() {
    // The window outlives nothing it would reach: let it go first, unheard.
    if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    window_.reset();
}

void FrmMain::Load(const std::wstring& commandArguments) {
    commandArguments_ = commandArguments;
    createWindow();
    Form_Load();
}

void FrmMain::Form_Load() {
    UpdateFile = commandArguments_;
    if (!setUpDataFolder()) {
        showFatalPermissionsError();
        ended_ = true;
        return;
    }
    AddStatus(L"Initalizing update engine...");
    if (UpdateFile.empty()) {
        AddStatus(L"No update file detected. Aborting.");
        AbortUpdate();
        return;
    }
    AddStatus(L"Using update file: " + UpdateFile);
    const std::wstring archive = AppDataFolder + UpdateFile;
    if (!fileExists(archive)) {
        MessageBoxW(nullptr, archive.c_str(), kProgramTitle, MB_OK);
        AddStatus(L"Update file not found, aborting! Please reinstall Vorlane.");
        AbortUpdate();
        return;
    }
    // A name with a path or of a device would be no file of the data folder.
    if (!isZipArchiveName(archive) || !isPlainFileName(UpdateFile)) {
        AddStatus(L"Invalid update file detected. Aborting.");
        AbortUpdate();
        return;
    }
    AddStatus(L"Preparing to extract archive...");
    const std::wstring installFolder = folderOf(modulePath()) + L"\\..\\";
    if (!extractArchive(archive, installFolder)) return;
    AddStatus(L"Archive extracted successfully!");
    if (deleteArchive(archive)) AddStatus(L"Archive file cleaned up successfully.");
    AddStatus(L"Vorlane update complete!");
    AddStatus(L"Restarting Vorlane...");
    startProgram(installFolder + L"Vorlane.exe");
    ended_ = true;
}

bool FrmMain::setUpDataFolder() {
    const std::optional<std::wstring> folder = dataFolderPath(window_.get());
    if (!folder) return false;
    AppDataFolder = *folder;
    return makeDataFolder(AppDataFolder);
}

void FrmMain::showFatalPermissionsError() {
    const std::wstring text =
        L"A critical error occurred trying to setup the Vorlane temporary data folder!\r\n\r\n"
        L"If this continues to happen, try reinstalling Vorlane from: \r\n" +
        programPage() + L"\r\n\r\nOr contact us:\r\n" + contactPage();
    MessageBoxW(nullptr, text.c_str(), L"Fatal Permissions Error", MB_OK | MB_ICONERROR);
}

// A failed extraction has left the installation as it was, or names the files
// it could not put back: the archive stays, nothing is restarted, and the log
// says why.
bool FrmMain::extractArchive(const std::wstring& archive, const std::wstring& installFolder) {
    const int32_t result = UnzipArchive(archive, installFolder);
    if (result == kUnzipOk) return true;
    for (const std::wstring& line : extractionFailureLines(result != kUnzipNotRestored, LastMessageText))
        AddStatus(line);
    AbortUpdate();
    return false;
}

void FrmMain::AbortUpdate() {
    AddStatus(L"\r\nPlease reinstall Vorlane from " + programPage());
    SetWindowTextW(cmdDone, L"Exit Update");
    EnableWindow(cmdDone, TRUE);
    if (!IsWindowVisible(window_.get())) ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
    SetFocus(cmdDone);
}

// Each line costs the same however long the log has grown: the log is kept
// bounded, and the box (whose every change costs as much as the text it
// holds) is only written while the window shows. It takes the whole log when
// the window is shown.
void FrmMain::AddStatus(const std::wstring& LineText) {
    const bool linesLeftOut = log_.add(LineText);
    if (!IsWindowVisible(window_.get())) return;
    const std::wstring& text = log_.text();
    if (linesLeftOut) {
        SetWindowTextW(txtStatus, text.c_str());
    } else {
        const std::wstring line = LineText + L"\r\n";
        const auto before = static_cast<WPARAM>(text.size() - line.size());
        SendMessageW(txtStatus, EM_SETSEL, before, static_cast<LPARAM>(before));
        SendMessageW(txtStatus, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    }
    caretToEnd();
}

void FrmMain::showLog() {
    SetWindowTextW(txtStatus, log_.text().c_str());
    caretToEnd();
}

void FrmMain::caretToEnd() {
    const auto end = static_cast<WPARAM>(log_.text().size());
    SendMessageW(txtStatus, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(txtStatus, EM_SCROLLCARET, 0, 0);
}

void FrmMain::cmdDone_Click() {
    // Ends at once, as the success path does: nothing is left to tidy.
    ExitProcess(0);
}

}  // namespace vorlane::updater
