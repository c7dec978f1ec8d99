// An in-memory registry behind the RegistryApi seam: the host build's
// registry and the tests' fake. It keeps the platform's result codes (2 not
// found, 5 access denied, 6 bad handle, 87 bad parameter, 234 more data,
// 259 no more items, 1018 key deleted), case-insensitive key and value
// names, the 32-bit view of HKLM\SOFTWARE on a 64-bit system (Wow6432Node),
// and records every call with its access mask so tests can check them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "runtime/registry_api.h"

namespace tavrel {

class MemoryRegistry final : public RegistryApi {
 public:
  struct Options {
    // 64-bit Windows: HKLM\SOFTWARE has a separate 32-bit view.
    bool system64 = true;
    // The program is a 32-bit process, whose default view on a 64-bit
    // system is the 32-bit one.
    bool process64 = false;
  };

  // The view a set-up or inspection call addresses.
  enum class View { kProcessDefault, k32, k64 };

  enum class Op {
    kOpenCurrentUser,
    kOpenKey,
    kCreateKey,
    kQueryValue,
    kSetValue,
    kEnumKey,
    kEnumValue,
    kDeleteValue,
    kDeleteKey,
    kCloseKey
  };
  struct Call {
    Op op;
    RegKey key;         // the handle the call was made on (0 for OpenCurrentUser)
    Text subKey;        // open, create, delete key
    std::uint32_t sam;  // open, create, OpenCurrentUser
    std::uint32_t options;
    Text valueName;  // value calls
    std::int32_t result;
  };

  struct StoredValue {
    std::uint32_t type = 0;
    ByteSet data;
    bool operator==(const StoredValue&) const = default;
  };

  MemoryRegistry();
  explicit MemoryRegistry(Options options);
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  const Options& Settings() const { return options_; }

  // Setting up and inspecting; roots are predefined values (kHkeyLocalMachine).
  // None of these is recorded as a call.
  void AddKey(std::uint32_t root, TextView path, View view = View::kProcessDefault);
  void SetValue(std::uint32_t root, TextView path, TextView name, std::uint32_t type, ByteSet data,
                View view = View::kProcessDefault);
  // Stores the text's bytes and one terminating zero byte.
  void SetText(std::uint32_t root, TextView path, TextView name, TextView text, std::uint32_t type = regtype::kSz,
               View view = View::kProcessDefault);
  // A read-only key (and everything below it) cannot be opened or created
  // with write rights (5), deleted (5), or get new subkeys.
  void SetReadOnly(std::uint32_t root, TextView path, bool readOnly = true, View view = View::kProcessDefault);
  bool HasKey(std::uint32_t root, TextView path, View view = View::kProcessDefault) const;
  std::optional<StoredValue> Value(std::uint32_t root, TextView path, TextView name,
                                   View view = View::kProcessDefault) const;
  // The stored text up to its first zero byte, when the value exists.
  std::optional<Text> TextValue(std::uint32_t root, TextView path, TextView name,
                                View view = View::kProcessDefault) const;
  void RemoveKeyTree(std::uint32_t root, TextView path, View view = View::kProcessDefault);

  // Variables that ExpandEnvironmentStrings substitutes.
  void SetVariableForExpansion(TextView name, TextView value);

  std::vector<Call> Calls() const;
  void ClearCalls();
  // Handles opened and not yet closed (leak checks).
  std::size_t OpenHandleCount() const;

  // RegistryApi
  std::int32_t OpenCurrentUser(std::uint32_t sam, RegKey* result) override;
  std::int32_t OpenKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                         RegKey* result) override;
  std::int32_t CreateKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam, RegKey* result,
                           std::uint32_t* disposition) override;
  std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataSize) override;
  std::int32_t SetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t dataSize) override;
  std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
  std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* dataSize) override;
  std::int32_t DeleteValue(RegKey key, const char* valueName) override;
  std::int32_t DeleteKey(RegKey key, const char* subKey) override;
  std::int32_t CloseKey(RegKey key) override;
  Text ExpandEnvironmentStrings(const Text& text) override;

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t granted;
    bool view32;  // the view calls relative to this handle use when they name none
  };
  struct Resolved {
    std::int32_t code;
    std::shared_ptr<Node> node;
    bool created = false;
  };

  bool Use32BitView(std::uint32_t sam, RegKey parent) const;
  bool Use32BitView(View view) const;
  Resolved Resolve(const std::shared_ptr<Node>& start, TextView path, bool view32, bool create) const;
  std::shared_ptr<Node> RootNode(std::uint32_t root) const;
  std::int32_t Lookup(RegKey key, std::uint32_t needed, std::shared_ptr<Node>* node) const;
  RegKey NewHandle(std::shared_ptr<Node> node, std::uint32_t sam, bool view32);
  std::int32_t Record(Call call);
  std::shared_ptr<Node> SetUpKey(std::uint32_t root, TextView path, View view);
  std::shared_ptr<Node> FindKey(std::uint32_t root, TextView path, View view) const;

  Options options_;
  mutable std::mutex mutex_;
  std::shared_ptr<Node> hkcr_, hkcu_, hklm_, hku_, hkcc_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
  std::vector<Call> calls_;
  std::map<Text, std::pair<Text, Text>> environment_;  // folded name -> (name, value)
};

}  // namespace tavrel
