// Opening documents and web pages through the shell.
#include "core/modShell.h"

#include <windows.h>
#include <shellapi.h>

namespace vorlane {

namespace {
const wchar_t* orNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }
}  // namespace

bool shellExecuteFile(const std::wstring& file, const std::wstring& operation, const std::wstring& parameters,
                      const std::wstring& directory, int showCommand) {
    const HINSTANCE result = ShellExecuteW(nullptr, orNull(operation), file.c_str(), orNull(parameters),
                                           orNull(directory), showCommand);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace vorlane
