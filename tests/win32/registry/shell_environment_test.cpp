// The store's WScript.Shell body against an in-process collection that
// answers the same members, since Wine's own collection cannot write: what
// goes through the collection, what falls through to the registry keys, and
// which of the two serves a set.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <map>

#include "registry/win32/shell_environment.h"
#include "tests/support/win32/fake_dispatch.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel::registry {
namespace {

using testing::FakeDispatch;
using testing::RaiseException;

constexpr const char* kName = "TAVREL_SHELL_TEST";

std::wstring Wide(const VARIANT& v) { return v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L""; }

// A collection of variables. notImplemented: what the members named there
// answer with E_NOTIMPL, as Wine's do. refusal: the code its writes fail with.
struct FakeCollection {
  std::map<std::wstring, std::wstring> variables;
  std::vector<std::wstring> notImplemented;
  HRESULT refusal = S_OK;

  win32::ComObject Make() {
    auto member = [this](const wchar_t* name, testing::MemberRoutine body) {
      return std::pair<std::wstring, testing::MemberRoutine>(
          name, [this, name, body](WORD kind, const std::vector<VARIANT>& args, VARIANT* result, EXCEPINFO* e) {
            for (const auto& missing : notImplemented)
              if (missing == name) return RaiseException(e, E_NOTIMPL);
            return body(kind, args, result, e);
          });
    };
    return win32::ComObject(win32::ComPtr<IDispatch>(FakeDispatch::Make({
        member(L"Item",
               [this](WORD kind, const std::vector<VARIANT>& args, VARIANT* result, EXCEPINFO* e) {
                 if (kind == DISPATCH_PROPERTYPUT && args.size() == 2) {
                   if (FAILED(refusal)) return RaiseException(e, refusal);
                   variables[Wide(args[0])] = Wide(args[1]);
                   return S_OK;
                 }
                 if (kind != DISPATCH_PROPERTYGET || args.size() != 1) return DISP_E_MEMBERNOTFOUND;
                 auto found = variables.find(Wide(args[0]));
                 result->vt = VT_BSTR;
                 result->bstrVal = ::SysAllocString(found == variables.end() ? L"" : found->second.c_str());
                 return S_OK;
               }),
        member(L"Remove",
               [this](WORD kind, const std::vector<VARIANT>& args, VARIANT*, EXCEPINFO* e) {
                 if (kind != DISPATCH_METHOD || args.size() != 1) return DISP_E_MEMBERNOTFOUND;
                 if (variables.erase(Wide(args[0])) == 0)
                   return RaiseException(e, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
                 return S_OK;
               }),
        member(L"length",
               [this](WORD kind, const std::vector<VARIANT>&, VARIANT* result, EXCEPINFO*) {
                 if (kind != DISPATCH_PROPERTYGET) return DISP_E_MEMBERNOTFOUND;
                 result->vt = VT_I4;
                 result->lVal = static_cast<LONG>(variables.size());
                 return S_OK;
               }),
        member(L"_NewEnum",
               [this](WORD kind, const std::vector<VARIANT>&, VARIANT* result, EXCEPINFO*) {
                 if (kind != DISPATCH_PROPERTYGET && kind != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
                 std::vector<std::wstring> items;
                 for (const auto& [name, value] : variables) items.push_back(name + L"=" + value);
                 result->vt = VT_UNKNOWN;
                 result->punkVal = testing::MakeTextEnumerator(std::move(items));
                 return S_OK;
               }),
    })));
  }
};

class ShellEnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override { ::CoInitialize(nullptr); }
  void TearDown() override { ::CoUninitialize(); }
  std::optional<std::string> Stored() { return testing::ReadRawText(HKEY_CURRENT_USER, "Environment", kName); }
  testing::SavedValue saved{HKEY_CURRENT_USER, "Environment", kName};
};

TEST_F(ShellEnvironmentTest, TheCollectionServesEveryCall) {
  FakeCollection fake;
  fake.variables = {{L"OS", L"Windows_NT"}};
  auto store = StoredEnvironmentOver({}, fake.Make(), true);
  EXPECT_TRUE(store->Write(kName, "C:\\中文\\jdk"));
  EXPECT_EQ(fake.variables[L"TAVREL_SHELL_TEST"], L"C:\\中文\\jdk");
  EXPECT_EQ(store->Read(kName), std::optional<Text>("C:\\中文\\jdk"));
  EXPECT_EQ(store->Read("MISSING"), std::nullopt);
  EXPECT_EQ(store->Count(), 2);
  std::vector<Text> listed;
  EXPECT_TRUE(store->List([&](Text entry) { listed.push_back(std::move(entry)); }));
  EXPECT_EQ(listed, (std::vector<Text>{"OS=Windows_NT", "TAVREL_SHELL_TEST=C:\\中文\\jdk"}));
  EXPECT_TRUE(store->Remove(kName));
  EXPECT_FALSE(store->Remove(kName)) << "a missing variable";
  EXPECT_EQ(store->Count(), 1);
  EXPECT_FALSE(Stored()) << "nothing went to the registry";

  fake.refusal = E_ACCESSDENIED;
  EXPECT_FALSE(store->Write(kName, "x")) << "a refused write is a failure, not a fall-through";
  EXPECT_FALSE(Stored());
}

// A member the collection does not implement falls through to the
// registry keys, one call at a time.
TEST_F(ShellEnvironmentTest, NotImplementedFallsThroughToTheRegistry) {
  FakeCollection fake;
  fake.notImplemented = {L"Item", L"Remove", L"_NewEnum"};
  fake.variables = {{L"ONLY_IN_THE_COLLECTION", L"1"}};
  auto store = StoredEnvironmentOver({}, fake.Make(), true);
  EXPECT_EQ(store->Count(), 1) << "length still answers";
  EXPECT_TRUE(store->Write(kName, "C:\\jdk"));
  EXPECT_EQ(Stored(), std::optional<std::string>("C:\\jdk"));
  EXPECT_EQ(fake.variables.count(L"TAVREL_SHELL_TEST"), 0u);
  EXPECT_EQ(store->Read(kName), std::optional<Text>("C:\\jdk"));
  bool listed = false;
  EXPECT_TRUE(store->List([&](const Text& entry) { listed = listed || entry == "TAVREL_SHELL_TEST=C:\\jdk"; }));
  EXPECT_TRUE(listed);
  EXPECT_TRUE(store->Remove(kName));
  EXPECT_FALSE(Stored());
  EXPECT_FALSE(store->Remove(kName));
}

// The collection serves a set only when it can report its size.
TEST_F(ShellEnvironmentTest, TheShellOrTheRegistryForASet) {
  struct Row {
    const char* what;
    bool collection;
    std::vector<std::wstring> notImplemented;
    bool collectionServes;
  };
  const Row rows[] = {
      {"a collection that reports its size", true, {}, true},
      {"one that cannot, as Wine's", true, {L"length"}, false},
      {"no collection at all", false, {}, false},
  };
  for (const Row& r : rows) {
    FakeCollection fake;
    fake.notImplemented = r.notImplemented;
    auto store = StoredEnvironmentOver({}, r.collection ? fake.Make() : win32::ComObject(), true);
    EXPECT_TRUE(store->Write(kName, "v")) << r.what;
    EXPECT_EQ(fake.variables.count(L"TAVREL_SHELL_TEST"), r.collectionServes ? 1u : 0u) << r.what;
    EXPECT_EQ(Stored().has_value(), !r.collectionServes) << r.what;
    testing::DeleteRawValue(HKEY_CURRENT_USER, "Environment", kName);
  }
}

}  // namespace
}  // namespace tavrel::registry
