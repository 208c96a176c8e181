#pragma once
// Move-only owners of Win32 handles: files, searches, modules, buffers the
// system allocated, windows and GDI objects. One template; each kind of
// handle says in its traits what "no handle" is and how it is released.

#include <windows.h>

#include <utility>

namespace vormlan {

// Owns one handle of Traits::Handle. Traits gives Invalid() (what owns
// nothing), Valid(handle) and Close(handle) (true when released). A handle
// that is not valid is never closed, so predefined and null values are safe.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, Traits::Invalid()));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  bool IsValid() const { return Traits::Valid(handle_); }
  explicit operator bool() const { return IsValid(); }

  // Releases what is owned (if anything) and owns handle instead.
  void Reset(Handle handle = Traits::Invalid()) noexcept {
    if (Traits::Valid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }
  // Releases now and says whether that succeeded (false when nothing was
  // owned); afterwards nothing is owned.
  bool Close() noexcept {
    const Handle handle = std::exchange(handle_, Traits::Invalid());
    return Traits::Valid(handle) && Traits::Close(handle);
  }
  // Gives up ownership without releasing.
  Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  // For functions that hand out a handle through a pointer: what was owned
  // is released first.
  Handle* Receive() noexcept {
    Reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// A handle of CreateFile and its kin; both INVALID_HANDLE_VALUE and null
// mean none.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static bool Close(Handle h) { return CloseHandle(h) != FALSE; }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// A search of FindFirstFile.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return FindClose(h) != FALSE; }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// A module of LoadLibrary(Ex).
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return FreeLibrary(h) != FALSE; }
};
using UniqueModule = UniqueHandle<ModuleTraits>;

// A buffer the system allocated for the caller (FormatMessage), released
// with LocalFree.
template <typename Char>
struct LocalBufferTraits {
  using Handle = Char*;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return LocalFree(h) == nullptr; }
};
template <typename Char>
using LocalBuffer = UniqueHandle<LocalBufferTraits<Char>>;

// A window, destroyed with its child windows.
struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DestroyWindow(h) != FALSE; }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

// A font, brush or other GDI object.
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DeleteObject(h) != FALSE; }
};
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

}  // namespace vormlan
