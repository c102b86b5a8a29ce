// Stands in for the update engine in the update tests: writes the parameter
// text it was started with (its command line without the program's own path)
// as UTF-16 into "started-with.txt" beside itself, and ends. The file appears
// whole: it is written under another name first.
#include <windows.h>

#include <string>

#include "core/Handles.h"

namespace {

std::wstring parameterText() {
    const wchar_t* at = GetCommandLineW();
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != L' ' && *at != L'\t') ++at;
    }
    while (*at == L' ' || *at == L'\t') ++at;
    return at;
}

}  // namespace

int wmain() {
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(GetModuleFileNameW(nullptr, folder.data(), MAX_PATH));
    folder.resize(folder.rfind(L'\\') + 1);
    const std::wstring partial = folder + L"started-with.part";

    const std::wstring text = parameterText();
    {
        vorlane::FileHandle file(
            CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr))
            return 1;
    }
    return MoveFileExW(partial.c_str(), (folder + L"started-with.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
