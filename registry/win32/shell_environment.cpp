// The environment sets through WScript.Shell's Environment collection.
#include <windows.h>
#include <oleauto.h>

#include <cmath>

#include "registry/win32/shell_environment.h"
#include "runtime/convert.h"
#include "runtime/win32/com.h"

namespace tavrel::registry {
namespace {

using win32::ComArg;
using win32::ComLastError;
using win32::ComObject;

// COM for this thread for as long as one operation needs it.
class ComScope {
 public:
  ComScope() : result_(::CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

class ShellEnvironment final : public StoredEnvironment {
 public:
  ShellEnvironment(ComObject shell, ComObject collection, bool user)
      : shell_(std::move(shell)), collection_(std::move(collection)), substitute_(user) {}

  std::optional<Text> Read(TextView name) override {
    const ComArg args[] = {Text(name)};
    Text text = win32::ComReadText(collection_, "Item", args);
    if (FAILED(ComLastError())) return NotImplemented() ? substitute_.Read(name) : std::nullopt;
    if (text.empty()) return std::nullopt;
    return text;
  }

  bool Write(TextView name, TextView value) override {
    const ComArg args[] = {Text(name)};
    if (win32::ComWriteProperty(collection_, "Item", args, ComArg(Text(value)))) return true;
    return NotImplemented() && substitute_.Write(name, value);
  }

  bool Remove(TextView name) override {
    const ComArg args[] = {Text(name)};
    double result = win32::ComCallNumber(collection_, "Remove", args);
    // A call that failed also reads as 0; only one that recorded no error
    // removed anything.
    if (FAILED(ComLastError())) return NotImplemented() && substitute_.Remove(name);
    return std::fabs(result) <= 1e-7;
  }

  std::int32_t Count() override {
    double length = win32::ComReadNumber(collection_, "length");
    if (FAILED(ComLastError())) return NotImplemented() ? substitute_.Count() : -1;
    return static_cast<std::int32_t>(TruncateToInteger(length));
  }

  bool List(const std::function<void(Text)>& each) override {
    ComObject enumObject = win32::ComReadObject(collection_, "_NewEnum");
    if (enumObject.Empty()) return NotImplemented() && substitute_.List(each);
    win32::ComPtr<IEnumVARIANT> items;
    if (FAILED(enumObject.Unknown()->QueryInterface(IID_IEnumVARIANT, items.PutVoid()))) return false;
    for (;;) {
      VARIANT item;
      ::VariantInit(&item);
      ULONG fetched = 0;
      HRESULT hr = items->Next(1, &item, &fetched);
      if (fetched == 1) each(win32::VariantToText(item));
      ::VariantClear(&item);
      if (hr != S_OK) return true;
    }
  }

 private:
  static bool NotImplemented() { return ComLastError() == E_NOTIMPL; }

  ComScope com_;  // first in, last out
  ComObject shell_;
  ComObject collection_;
  RegistryEnvironment substitute_;
};

}  // namespace

std::unique_ptr<StoredEnvironment> StoredEnvironmentOver(ComObject shell, ComObject collection, bool user) {
  if (!collection.Empty()) {
    win32::ComReadNumber(collection, "length");
    if (SUCCEEDED(ComLastError()))
      return std::make_unique<ShellEnvironment>(std::move(shell), std::move(collection), user);
  }
  return std::make_unique<RegistryEnvironment>(user);
}

// WScript.Shell is how Windows changes the stored sets, and on every Windows
// with the script host (XP to 11) its collection serves the calls. Where it
// cannot be created (script host disabled by policy) or its collection
// cannot report its size (Wine's, whose Item reads come from the process and
// whose writes are not implemented), the registry keys it keeps the sets in
// stand in, with the same results; a call the collection answers with
// E_NOTIMPL falls through to them as well.
std::unique_ptr<StoredEnvironment> OpenStoredEnvironment(bool user) {
  ComScope com;
  ComObject shell;
  ComObject collection;
  if (win32::CreateComObject(shell, "WScript.Shell")) {
    const ComArg set[] = {Text(user ? "user" : "system")};
    collection = win32::ComReadObject(shell, "Environment", set);
  }
  return StoredEnvironmentOver(std::move(shell), std::move(collection), user);
}

}  // namespace tavrel::registry
