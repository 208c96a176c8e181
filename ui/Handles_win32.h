#pragma once
// Move-only owners of the window system's handles used by the program.

#include <windows.h>

#include <utility>

namespace vormlan::ui {

// Owns one handle; Closer{}(handle) releases it. A null handle owns nothing.
template <typename Handle, typename Closer>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(nullptr); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle) noexcept {
    if (handle_ != nullptr) Closer{}(handle_);
    handle_ = handle;
  }
  // Gives up ownership without releasing.
  Handle Release() noexcept { return std::exchange(handle_, nullptr); }

 private:
  Handle handle_ = nullptr;
};

struct WindowCloser {
  void operator()(HWND window) const { DestroyWindow(window); }
};
struct GdiObjectCloser {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

// A window, destroyed with its child windows.
using UniqueWindow = UniqueHandle<HWND, WindowCloser>;
// A font, brush or other GDI object.
using UniqueGdiObject = UniqueHandle<HGDIOBJ, GdiObjectCloser>;

}  // namespace vormlan::ui
