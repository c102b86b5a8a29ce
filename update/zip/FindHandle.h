// An owned directory search (FindFirstFileExW), closed with FindClose.
#pragma once

#include <windows.h>

#include "core/UniqueHandle.h"

namespace vorlane::updater {

namespace handle_traits {
struct FindSearch {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { FindClose(h); }
};
}  // namespace handle_traits

using FindHandle = UniqueHandle<handle_traits::FindSearch>;

}  // namespace vorlane::updater
