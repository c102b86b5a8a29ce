// Answers the program's message boxes while a test runs: a watcher thread finds
// each standard dialog this process (or the program the test started) shows, records its title and text, and
// presses the button the test chose for that title (OK when none was chosen).
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorlane::test {

struct SeenDialog {
    std::wstring title;
    std::wstring text;
    void* owner = nullptr;      // the window it belongs to (an HWND)
    bool ownerEnabled = false;  // whether the member could still use that window
};

class DialogWatcher {
public:
    DialogWatcher();
    // Watches the dialogs of another process instead.
    explicit DialogWatcher(unsigned long processId);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // The button (IDOK, IDYES, IDNO, ...) to press on dialogs with this title,
    // once the dialog has been up for the given time.
    void answer(const std::wstring& title, int button, std::chrono::milliseconds after = {});

    std::vector<SeenDialog> seen() const;
    size_t count() const;

private:
    void watch();

    unsigned long process_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    struct Answer {
        int button = 0;
        std::chrono::milliseconds after{};
    };
    std::map<std::wstring, Answer> answers_;
    std::vector<SeenDialog> seen_;
    std::thread thread_;  // last: it starts once everything it uses is made
};

}  // namespace vorlane::test
