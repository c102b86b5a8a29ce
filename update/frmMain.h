// The update engine's one window and its run. The whole update happens in the
// window's load handler before the window is first drawn: the member sees it
// only when the update cannot go on, with the status log and an exit button.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/Handles.h"
#include "update/StatusLog.h"

namespace vorlane::updater {

class FrmMain {
public:
    static constexpr wchar_t kClassName[] = L"VorlaneUpdater";
    static constexpr wchar_t kCaption[] = L"Vorlane - Software Update Engine";
    static constexpr int kStatusId = 101;
    static constexpr int kDoneId = 102;

    FrmMain();
    ~FrmMain();
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // Makes the window, hidden, and runs the update of the archive named by
    // the command line's arguments. Afterwards the program is either to end
    // (ended()) or the window shows the log and waits for cmdDone. Errors of
    // the run are not caught here.
    void Load(const std::wstring& commandArguments);
    bool ended() const { return ended_; }
    HWND hwnd() const { return window_.get(); }

    // Appends a line to the log and puts the caret at its end. The log keeps
    // its first and its latest lines, kLogLimit characters at most: a hundred
    // lines and more, where a run writes a dozen.
    void AddStatus(const std::wstring& LineText);
    static constexpr size_t kLogLimit = 16 * 1024;
    // Ends the program at once.
    [[noreturn]] void cmdDone_Click();

    std::wstring UpdateFile;     // the archive's name, as the command line gave it
    std::wstring AppDataFolder;  // the data folder, ending with a backslash

    HWND txtStatus = nullptr;
    HWND cmdDone = nullptr;

private:
    // The run.
    void Form_Load();
    void AbortUpdate();
    bool setUpDataFolder();
    void showFatalPermissionsError();
    bool extractArchive(const std::wstring& archive, const std::wstring& installFolder);
    void showLog();
    void caretToEnd();

    // The window.
    void createWindow();
    void applyDpi(UINT dpi);
    void layout();
    void paint(HDC dc);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    WindowHandle window_;
    UINT dpi_ = 96;
    GdiObjectHandle statusFont_;
    GdiObjectHandle titleFont_;
    GdiObjectHandle brandFont_;
    IconHandle icon_;
    HWND focusOnReturn_ = nullptr;
    std::wstring commandArguments_;
    StatusLog log_{kLogLimit};
    bool ended_ = false;
};

// The per-user application-data folder followed by "\Vorlane\"; nothing when
// the shell cannot tell.
std::optional<std::wstring> dataFolderPath(HWND owner);

// Makes the folder (one level) when it is missing; true when it is a folder
// afterwards and nothing failed on the way.
bool makeDataFolder(const std::wstring& folder);

}  // namespace vorlane::updater
