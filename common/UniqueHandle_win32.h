#pragma once
// The kinds of Win32 handle UniqueHandle owns: files, searches, modules,
// buffers the system allocated, windows and GDI objects. Each says in its
// traits what "no handle" is and how it is released.

#include <windows.h>

#include "common/UniqueHandle.h"

namespace vormlan {

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
