// Ownership of a Winsock socket through the program's owning-handle template.
#pragma once

#include <winsock2.h>

#include "core/UniqueHandle.h"

namespace vorlane {

namespace handle_traits {

struct Socket {
    using handle_type = SOCKET;
    static handle_type invalid() noexcept { return INVALID_SOCKET; }
    static void close(handle_type socket) noexcept { closesocket(socket); }
};

}  // namespace handle_traits

using OwnedSocket = UniqueHandle<handle_traits::Socket>;

}  // namespace vorlane
