// An owned BSTR, for the COM calls that take or return one.
#pragma once

#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "core/RuntimeError.h"

namespace vorlane {

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!text_) raiseError(errnum::OutOfMemory);
    }
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

    BSTR get() const noexcept { return text_; }
    BSTR* put() noexcept {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }
    std::wstring str() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};

}  // namespace vorlane
