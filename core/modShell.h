// Opening documents and web pages with the shell.
#pragma once

#include <string>

namespace vorlane {

// Opens file with the shell's verb operation; true when the shell accepted it.
// Nothing is reported: a failure shows only as false.
bool shellExecuteFile(const std::wstring& file, const std::wstring& operation, const std::wstring& parameters,
                      const std::wstring& directory, int showCommand);

}  // namespace vorlane
