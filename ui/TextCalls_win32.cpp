#include "ui/TextCalls_win32.h"

#include <algorithm>
#include <cstddef>

#include "common/WideText_win32.h"

namespace vormlan::ui {

namespace {

// The text a call filled into a buffer of `size` characters plus the
// terminator, cut to what it reported.
template <typename Char, typename Fill>
std::basic_string<Char> Filled(LRESULT size, Fill fill) {
  std::basic_string<Char> text(static_cast<std::size_t>(std::max<LRESULT>(size, 0)) + 1, Char{});
  const LRESULT length = fill(text.data(), static_cast<int>(text.size()));
  text.resize(length > 0 ? std::min(static_cast<std::size_t>(length), text.size() - 1) : 0);
  return text;
}

}  // namespace

INT_PTR TextCalls::RunDialog(const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                             LPARAM parameter) const {
  if (Utf8()) {
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog, owner, procedure, parameter);
  }
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog, owner, procedure, parameter);
}

std::string TextCalls::GetText(HWND window) const {
  if (Utf8()) {
    return Utf8FromWide(Filled<wchar_t>(GetWindowTextLengthW(window), [&](wchar_t* data, int size) {
      return GetWindowTextW(window, data, size);
    }));
  }
  return Filled<char>(GetWindowTextLengthA(window),
                      [&](char* data, int size) { return GetWindowTextA(window, data, size); });
}

void TextCalls::SetText(HWND window, const std::string& text) const {
  if (Utf8()) {
    SetWindowTextW(window, WideFromUtf8(text).c_str());
  } else {
    SetWindowTextA(window, text.c_str());
  }
}

LRESULT TextCalls::AddString(HWND control, UINT message, const std::string& text) const {
  if (Utf8()) {
    return SendMessageW(control, message, 0, reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
  }
  return SendMessageA(control, message, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string TextCalls::ItemText(HWND control, WPARAM index, bool combo) const {
  const UINT lengthMessage = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT textMessage = combo ? CB_GETLBTEXT : LB_GETTEXT;
  if (Utf8()) {
    return Utf8FromWide(
        Filled<wchar_t>(SendMessageW(control, lengthMessage, index, 0), [&](wchar_t* data, int) {
          return SendMessageW(control, textMessage, index, reinterpret_cast<LPARAM>(data));
        }));
  }
  return Filled<char>(SendMessageA(control, lengthMessage, index, 0), [&](char* data, int) {
    return SendMessageA(control, textMessage, index, reinterpret_cast<LPARAM>(data));
  });
}

int TextCalls::Draw(HDC dc, const std::string& text, RECT& bounds, UINT format) const {
  if (Utf8()) {
    const std::wstring wide = WideFromUtf8(text);
    return DrawTextW(dc, wide.c_str(), -1, &bounds, format);
  }
  return DrawTextA(dc, text.c_str(), -1, &bounds, format);
}

std::string TextCalls::CurrentFolder() const {
  if (Utf8()) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    return Utf8FromWide(Filled<wchar_t>(size, [](wchar_t* data, int capacity) {
      const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(capacity), data);
      return static_cast<LRESULT>(length < static_cast<DWORD>(capacity) ? length : 0);
    }));
  }
  std::string text(MAX_PATH + 1, '\0');
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(text.size()), text.data());
  if (length >= text.size()) {
    text.resize(length + 1);
    length = GetCurrentDirectoryA(static_cast<DWORD>(text.size()), text.data());
  }
  text.resize(length < text.size() ? length : 0);
  return text;
}

bool TextCalls::ChangeFolder(const std::string& path) const {
  if (Utf8()) return SetCurrentDirectoryW(WideFromUtf8(path).c_str()) != FALSE;
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

bool TextCalls::IsFolder(const std::string& path) const {
  const DWORD attributes =
      Utf8() ? GetFileAttributesW(WideFromUtf8(path).c_str()) : GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> TextCalls::FolderEntries(const std::string& folder, bool folders) const {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += "*.*";
  const auto collect = [&](auto& data, HANDLE first, auto next, auto name) {
    FindHandle find(first);
    if (!find.IsValid()) return;
    do {
      const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (isFolder == folders) names.push_back(name(data));
    } while (next(find.Get(), &data));
  };
  if (Utf8()) {
    WIN32_FIND_DATAW data{};
    collect(data, FindFirstFileW(WideFromUtf8(pattern).c_str(), &data), &FindNextFileW,
            [](const WIN32_FIND_DATAW& d) { return Utf8FromWide(d.cFileName); });
  } else {
    WIN32_FIND_DATAA data{};
    collect(data, FindFirstFileA(pattern.c_str(), &data), &FindNextFileA,
            [](const WIN32_FIND_DATAA& d) { return std::string(d.cFileName); });
  }
  return names;
}

bool TextCalls::BeyondAnsi(const std::string& text) const {
  if (!Utf8() || text.empty()) return false;
  const std::wstring wide = WideFromUtf8(text);
  BOOL lossy = FALSE;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                             static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy) == 0 ||
         lossy != FALSE;
}

std::string MessageFace() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
      return "Tahoma";
    }
  }
  return metrics.lfMessageFont.lfFaceName;
}

UniqueGdiObject MessageFaceFontLike(HWND window) {
  const auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTA like{};
  if (font == nullptr || GetObjectA(font, sizeof(like), &like) == 0) return UniqueGdiObject();
  like.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(like.lfFaceName, MessageFace().c_str(), LF_FACESIZE);
  return UniqueGdiObject(CreateFontIndirectA(&like));
}

}  // namespace vormlan::ui
