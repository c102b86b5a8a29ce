// Owning handles for the platform handle kinds the program uses.
#pragma once

#include <windows.h>

#include "core/UniqueHandle.h"

namespace vorlane {

namespace handle_traits {

struct File {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { CloseHandle(h); }
};

struct Kernel {  // events, processes, threads, mutexes: "no handle" is null
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { CloseHandle(h); }
};

struct Window {
    using handle_type = HWND;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DestroyWindow(h); }
};

struct RegistryKey {
    using handle_type = HKEY;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { RegCloseKey(h); }
};

struct GdiObject {
    using handle_type = HGDIOBJ;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DeleteObject(h); }
};

struct Icon {
    using handle_type = HICON;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DestroyIcon(h); }
};

struct Module {
    using handle_type = HMODULE;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { FreeLibrary(h); }
};

struct Cursor {  // cursors made at run time, never shared ones
    using handle_type = HCURSOR;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DestroyCursor(h); }
};

struct Menu {
    using handle_type = HMENU;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DestroyMenu(h); }
};

struct MemoryDC {
    using handle_type = HDC;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type h) noexcept { DeleteDC(h); }
};

// A directory search (FindFirstFile and its kin).
struct FindSearch {
    using handle_type = HANDLE;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type h) noexcept { FindClose(h); }
};

}  // namespace handle_traits

using FileHandle = UniqueHandle<handle_traits::File>;
using KernelHandle = UniqueHandle<handle_traits::Kernel>;
using WindowHandle = UniqueHandle<handle_traits::Window>;
using RegistryKeyHandle = UniqueHandle<handle_traits::RegistryKey>;
using GdiObjectHandle = UniqueHandle<handle_traits::GdiObject>;
using IconHandle = UniqueHandle<handle_traits::Icon>;
using ModuleHandle = UniqueHandle<handle_traits::Module>;
using CursorHandle = UniqueHandle<handle_traits::Cursor>;
using MenuHandle = UniqueHandle<handle_traits::Menu>;
using MemoryDCHandle = UniqueHandle<handle_traits::MemoryDC>;
using FindHandle = UniqueHandle<handle_traits::FindSearch>;

}  // namespace vorlane
