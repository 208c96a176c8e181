#pragma once
// A move-only owner of one system handle: a POSIX descriptor, a Win32
// handle, a buffer the system allocated. One template for every platform;
// each kind of handle says in its traits what "no handle" is and how it is
// released (UniqueHandle_win32.h holds the Win32 kinds).

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

}  // namespace vormlan
