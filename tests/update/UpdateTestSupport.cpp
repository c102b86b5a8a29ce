// The update engine tests' fixture archives, member bytes and folder listings.
#include "tests/update/UpdateTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <functional>

#include "core/Handles.h"
#include "tests/support/TestFiles.h"

namespace vorlane::test {

std::wstring zipFixture(const std::wstring& name) { return hostPath(ZIP_FIXTURES_DIR) + L"\\" + name; }

std::string patternBytes(size_t length, uint32_t seed) {
    std::string block;
    uint64_t x = seed;
    for (int i = 0; i < 997; ++i) {
        x = (x * 1103515245 + 12345) % (1ULL << 31);
        block += static_cast<char>((x >> 16) & 0xFF);
    }
    std::string out;
    out.reserve(length + block.size() * 64);
    for (int round = 0; out.size() < length; ++round) {
        std::string shifted = block;
        for (char& c : shifted) c = static_cast<char>((static_cast<unsigned char>(c) + round) & 0xFF);
        for (int repeat = 0; repeat < 64; ++repeat) out += shifted;
    }
    out.resize(length);
    return out;
}

std::vector<std::wstring> treeOf(const std::wstring& folder) {
    std::vector<std::wstring> tree;
    std::function<void(const std::wstring&)> walk = [&](const std::wstring& relative) {
        WIN32_FIND_DATAW entry;
        const std::wstring base = relative.empty() ? folder : folder + L"\\" + relative;
        HANDLE search = FindFirstFileW((base + L"\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                tree.push_back(path + L"\\");
                walk(path);
            } else {
                tree.push_back(path);
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    };
    walk(L"");
    std::sort(tree.begin(), tree.end());
    return tree;
}

bool hasLocalTime(const std::wstring& path, int year, int month, int day, int hour, int minute, int second) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    FILETIME local{};
    SYSTEMTIME time{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    return time.wYear == year && time.wMonth == month && time.wDay == day && time.wHour == hour &&
           time.wMinute == minute && time.wSecond == second;
}

void setAge(const std::wstring& path, int64_t secondsFromNow) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart += static_cast<uint64_t>(secondsFromNow * 10'000'000LL);
    const FILETIME stamp{ticks.LowPart, ticks.HighPart};
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.get(), nullptr, nullptr, &stamp);
}

namespace {

bool makeHostLinkShowing(const std::wstring& folder, const std::wstring& name, const std::wstring& pointsTo,
                         const std::function<bool(DWORD)>& shows) {
    const std::wstring link = folder + L"\\" + name;
    // The host's own program, started in the folder; the link shows once it
    // has run (its end cannot be waited for from here).
    std::wstring commandLine = L"/bin/ln -s " + pointsTo + L" " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\ln", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    auto linked = [&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && shows(attributes);
    };
    for (int i = 0; i < 500 && !linked(); ++i) Sleep(20);
    return linked();
}

}  // namespace

bool makeHostLink(const std::wstring& folder, const std::wstring& name, const std::wstring& pointsTo) {
    return makeHostLinkShowing(folder, name, pointsTo, [](DWORD) { return true; });
}

bool makeFolderLink(const std::wstring& folder, const std::wstring& name, const std::wstring& pointsTo) {
    auto leadsToAFolder = [](DWORD attributes) {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const std::wstring link = folder + L"\\" + name;
    std::wstring windowsTarget = pointsTo;
    std::replace(windowsTarget.begin(), windowsTarget.end(), L'/', L'\\');
    CreateSymbolicLinkW(link.c_str(), windowsTarget.c_str(),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && leadsToAFolder(attributes)) return true;
    // As a program on the host would.
    return makeHostLinkShowing(folder, name, pointsTo, leadsToAFolder);
}

}  // namespace vorlane::test
