#include "tests/support/win32/registry_sandbox.h"

#include "runtime/win32/handles.h"

namespace tavrel::testing {
namespace {

win32::UniqueHkey Open(HKEY root, const std::string& path, REGSAM access, bool create) {
  HKEY key = nullptr;
  LONG rc = create ? ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr)
                   : ::RegOpenKeyExA(root, path.c_str(), 0, access, &key);
  return win32::UniqueHkey(rc == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

std::optional<RawValue> ReadRaw(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
  win32::UniqueHkey key = Open(root, path, KEY_READ | view, false);
  if (!key) return std::nullopt;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  RawValue value{type, std::vector<BYTE>(size)};
  if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

std::optional<std::string> ReadRawText(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
  std::optional<RawValue> value = ReadRaw(root, path, name, view);
  if (!value) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

bool WriteRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& bytes,
              REGSAM view) {
  win32::UniqueHkey key = Open(root, path, KEY_ALL_ACCESS | view, true);
  return key && ::RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool WriteRawText(HKEY root, const std::string& path, const std::string& name, const std::string& text, DWORD type,
                  REGSAM view) {
  return WriteRaw(root, path, name, type, text + '\0', view);
}

bool DeleteRawValue(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
  win32::UniqueHkey key = Open(root, path, KEY_ALL_ACCESS | view, false);
  return key && ::RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool KeyExistsRaw(HKEY root, const std::string& path, REGSAM view) {
  return static_cast<bool>(Open(root, path, KEY_READ | view, false));
}

bool DeleteTree(HKEY root, const std::string& path, REGSAM view) {
  if (win32::UniqueHkey key = Open(root, path, KEY_ALL_ACCESS | view, false)) {
    ::RegDeleteTreeA(key.Get(), nullptr);
    key.Reset();
    std::size_t cut = path.find_last_of('\\');
    std::string parentPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
    std::string child = cut == std::string::npos ? path : path.substr(cut + 1);
    if (win32::UniqueHkey parent = Open(root, parentPath, KEY_ALL_ACCESS | view, false))
      ::RegDeleteKeyExA(parent.Get(), child.c_str(), view, 0);
  }
  return !KeyExistsRaw(root, path, view);
}

SavedValue::SavedValue(HKEY root, std::string path, std::string name, REGSAM view)
    : root_(root),
      path_(std::move(path)),
      name_(std::move(name)),
      view_(view),
      original_(ReadRaw(root_, path_, name_, view_)) {}

SavedValue::~SavedValue() {
  if (original_)
    WriteRaw(root_, path_, name_, original_->type, std::string(original_->data.begin(), original_->data.end()), view_);
  else
    DeleteRawValue(root_, path_, name_, view_);
}

bool NativeSystemIs64Bit() {
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace tavrel::testing
