#pragma once

// Each class owns one kind of Win32 handle and gives it back at the end of its scope. A class
// never copies; a null handle (the failed call's result) is kept and simply not given back.

#include <windows.h>

#include <cstring>

namespace win32 {

// A handle that `kFree` gives back, as the kinds below.
template <typename Handle, BOOL(WINAPI* kFree)(Handle)>
class ScopedOwner {
public:
    explicit ScopedOwner(Handle handle) : handle_(handle) {}
    ~ScopedOwner() {
        if (handle_ != nullptr) {
            kFree(handle_);
        }
    }
    ScopedOwner(const ScopedOwner&) = delete;
    ScopedOwner& operator=(const ScopedOwner&) = delete;

    Handle Get() const { return handle_; }

private:
    Handle handle_;
};

// A kernel object handle (process, thread).
using ScopedHandle = ScopedOwner<HANDLE, ::CloseHandle>;
// A module this program loaded (LoadLibrary, LoadLibraryEx).
using ScopedLibrary = ScopedOwner<HMODULE, ::FreeLibrary>;
// A window this thread created.
using ScopedWindow = ScopedOwner<HWND, ::DestroyWindow>;
// A device context this program created (CreateCompatibleDC).
using ScopedCreatedDc = ScopedOwner<HDC, ::DeleteDC>;
// A GDI object (bitmap, brush, font, pen). Must no longer be selected into a device context when
// the scope ends: declare it before the ScopedSelectObject using it.
using ScopedGdiObject = ScopedOwner<HGDIOBJ, ::DeleteObject>;

// The clipboard, opened once for `owner` (null: for this task) and closed again. Another program
// may hold it: IsOpen() says whether the opening worked, and waiting is the caller's choice.
class ScopedClipboard {
public:
    explicit ScopedClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~ScopedClipboard() {
        if (open_) {
            ::CloseClipboard();
        }
    }
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// The bytes of global memory `memory` (owned elsewhere), locked for the scope; Get() is null if
// the lock failed.
class ScopedGlobalLock {
public:
    explicit ScopedGlobalLock(HGLOBAL memory) : memory_(memory), data_(::GlobalLock(memory)) {}
    ~ScopedGlobalLock() {
        if (data_ != nullptr) {
            ::GlobalUnlock(memory_);
        }
    }
    ScopedGlobalLock(const ScopedGlobalLock&) = delete;
    ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;

    void* Get() const { return data_; }
    // GlobalSize: the block's size, at least what was asked for.
    SIZE_T Size() const { return ::GlobalSize(memory_); }

private:
    HGLOBAL memory_;
    void* data_;
};

// Movable global memory, freed with GlobalFree unless given away.
class ScopedGlobalMemory {
public:
    // A copy of the `size` bytes at `data`; Get() is null if it could not be made.
    ScopedGlobalMemory(const void* data, SIZE_T size)
        : memory_(::GlobalAlloc(GMEM_MOVEABLE, size)) {
        const ScopedGlobalLock bytes(memory_);
        if (bytes.Get() == nullptr) {
            ::GlobalFree(memory_);
            memory_ = nullptr;
            return;
        }
        std::memcpy(bytes.Get(), data, size);
    }
    ~ScopedGlobalMemory() {
        if (memory_ != nullptr) {
            ::GlobalFree(memory_);
        }
    }
    ScopedGlobalMemory(const ScopedGlobalMemory&) = delete;
    ScopedGlobalMemory& operator=(const ScopedGlobalMemory&) = delete;

    HGLOBAL Get() const { return memory_; }
    // Gives up ownership, as once SetClipboardData has accepted the memory.
    HGLOBAL Release() {
        HGLOBAL memory = memory_;
        memory_ = nullptr;
        return memory;
    }

private:
    HGLOBAL memory_;
};

// `size` bytes of read-write memory committed in another process, released with VirtualFreeEx.
// `process` (owned elsewhere) must outlive the object.
class ScopedRemoteMemory {
public:
    ScopedRemoteMemory(HANDLE process, SIZE_T size)
        : process_(process),
          address_(
              ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~ScopedRemoteMemory() {
        if (address_ != nullptr) {
            ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    ScopedRemoteMemory(const ScopedRemoteMemory&) = delete;
    ScopedRemoteMemory& operator=(const ScopedRemoteMemory&) = delete;

    // The address in the other process, null if the allocation failed.
    void* Get() const { return address_; }

private:
    HANDLE process_;
    void* address_;
};

// The device context of the whole screen (GetDC of no window), released with ReleaseDC.
class ScopedScreenDc {
public:
    ScopedScreenDc() : dc_(::GetDC(nullptr)) {}
    ~ScopedScreenDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(nullptr, dc_);
        }
    }
    ScopedScreenDc(const ScopedScreenDc&) = delete;
    ScopedScreenDc& operator=(const ScopedScreenDc&) = delete;

    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// `object` selected into `dc` for the scope; the object it replaced is selected back.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~ScopedSelectObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(dc_, previous_);
        }
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace win32
