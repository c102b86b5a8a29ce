// The watcher thread that answers the message boxes a test's program shows.
#include "tests/support/DialogWatcher.h"

#include <windows.h>

#include <chrono>
#include <iterator>
#include <set>

#include "tests/support/ProcessWindows.h"

namespace vorlane::test {

DialogWatcher::DialogWatcher() : DialogWatcher(GetCurrentProcessId()) {}

DialogWatcher::DialogWatcher(unsigned long processId) : process_(processId), thread_([this] { watch(); }) {}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    thread_.join();
}

void DialogWatcher::answer(const std::wstring& title, int button, std::chrono::milliseconds after) {
    std::lock_guard lock(mutex_);
    answers_[title] = {button, after};
}

std::vector<SeenDialog> DialogWatcher::seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

size_t DialogWatcher::count() const {
    std::lock_guard lock(mutex_);
    return seen_.size();
}

void DialogWatcher::watch() {
    using Clock = std::chrono::steady_clock;
    struct Pending {
        int button;
        Clock::time_point due;
    };
    std::set<HWND> seenBoxes;
    std::map<HWND, Pending> pending;
    while (!stop_) {
        for (auto it = seenBoxes.begin(); it != seenBoxes.end();) it = IsWindow(*it) ? std::next(it) : seenBoxes.erase(it);
        for (HWND dialog : topLevelWindowsOf(process_)) {
            if (classOf(dialog) != L"#32770" || !IsWindowVisible(dialog)) continue;
            if (seenBoxes.count(dialog)) continue;
            seenBoxes.insert(dialog);
            // The message text is the dialog's static control 0xFFFF.
            const HWND owner = GetWindow(dialog, GW_OWNER);
            SeenDialog seen{windowText(dialog), windowText(GetDlgItem(dialog, 0xFFFF)), owner,
                            owner && IsWindowEnabled(owner)};
            Answer answer{IDOK, {}};
            {
                std::lock_guard lock(mutex_);
                if (auto it = answers_.find(seen.title); it != answers_.end()) answer = it->second;
                seen_.push_back(seen);
            }
            pending[dialog] = {answer.button, Clock::now() + answer.after};
        }
        for (auto it = pending.begin(); it != pending.end();) {
            const HWND dialog = it->first;
            if (IsWindow(dialog) && Clock::now() < it->second.due) {
                ++it;
                continue;
            }
            // A box without the chosen button (an OK box asked for Yes) gets OK.
            int button = it->second.button;
            if (!GetDlgItem(dialog, button)) button = GetDlgItem(dialog, IDOK) ? IDOK : IDCANCEL;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
            it = pending.erase(it);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace vorlane::test
