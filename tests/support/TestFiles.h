// Real files for tests: a private temporary folder per test, and byte-exact
// reads and writes.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::test {

// A fresh, empty folder below the temporary folder, removed with everything in
// it when the object goes. Unique per process and object, so parallel tests
// never share one.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return path_; }  // ends without a backslash
    std::wstring file(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

void writeFile(const std::wstring& path, std::string_view bytes);
std::string readFile(const std::wstring& path);

// A host (Unix) path as the program under Wine sees it, through drive Z:.
std::wstring hostPath(std::string_view unixPath);

}  // namespace vorlane::test
