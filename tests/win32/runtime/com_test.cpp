#include "runtime/win32/com.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <array>

#include "tests/support/win32/fake_dispatch.h"

namespace tavrel::win32 {
namespace {

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ::CoInitialize(nullptr); }
  void TearDown() override { ::CoUninitialize(); }
};

TEST_F(ComTest, DictionaryPropertiesMethodsAndConversions) {
  ComObject dict;
  ASSERT_EQ(CreateComObject(dict, "Scripting.Dictionary"), 1);
  ASSERT_FALSE(dict.Empty());

  const std::array<ComArg, 2> add{Text("jdk"), Text("1.8")};
  EXPECT_EQ(ComCallNumber(dict, "Add", add), 0.0);  // a method without a result reads as 0
  const std::array<ComArg, 2> addNumber{std::int32_t{7}, 2.5};
  ComCallNumber(dict, "Add", addNumber);
  EXPECT_EQ(ComReadNumber(dict, "Count"), 2.0);

  const std::array<ComArg, 1> jdk{Text("jdk")};
  EXPECT_EQ(ComReadText(dict, "Item", jdk), "1.8");
  EXPECT_EQ(ComReadNumber(dict, "Item", jdk), 1.8);
  EXPECT_EQ(ComCallNumber(dict, "Exists", jdk), -1.0);  // VARIANT_TRUE

  EXPECT_EQ(ComWriteProperty(dict, "Item", jdk, Text("11.0.9")), 1);
  EXPECT_EQ(ComReadText(dict, "Item", jdk), "11.0.9");
  EXPECT_EQ(ComLastError(), S_OK);

  const std::array<ComArg, 1> seven{std::int32_t{7}};
  EXPECT_EQ(ComReadText(dict, "Item", seven), "2.5");
  const std::array<ComArg, 1> logical{ComLogical{true}};
  EXPECT_EQ(ComWriteProperty(dict, "Item", seven, logical[0]), 1);
  EXPECT_EQ(ComReadText(dict, "Item", seven), "True");

  EXPECT_EQ(ComReadText(dict, "NoSuchMember"), "");
  EXPECT_EQ(ComLastError(), DISP_E_UNKNOWNNAME);

  ReleaseComObject(dict);
  EXPECT_TRUE(dict.Empty());
  EXPECT_EQ(ComReadText(dict, "Count"), "");
}

TEST_F(ComTest, CreationByClassIdAndFailures) {
  ComObject dict;
  EXPECT_EQ(CreateComObject(dict, "{EE09B103-97E0-11CF-978F-00A02463E06F}"), 1);  // Scripting.Dictionary
  EXPECT_EQ(ComReadNumber(dict, "Count"), 0.0);
  ComObject none;
  EXPECT_EQ(CreateComObject(none, "Tavrel.NoSuchObject"), 0);
  EXPECT_TRUE(none.Empty());
  // A failed creation keeps what the object held.
  EXPECT_EQ(CreateComObject(dict, "Tavrel.NoSuchObject"), 0);
  EXPECT_FALSE(dict.Empty());
}

TEST_F(ComTest, ShellEnvironmentReadsAndReportsUnsupportedWrites) {
  ComObject shell;
  ASSERT_EQ(CreateComObject(shell, "WScript.Shell"), 1);
  const std::array<ComArg, 1> system{Text("system")};
  ComObject env = ComReadObject(shell, "Environment", system);
  ASSERT_FALSE(env.Empty());
  const std::array<ComArg, 1> path{Text("PATH")};
  EXPECT_NE(ComReadText(env, "Item", path), "");

  const std::array<ComArg, 1> name{Text("TAVREL_COM_TEST")};
  Logical written = ComWriteProperty(env, "Item", name, Text("x"));
  if (!written) {
    // Where the collection cannot write, the failure and its reason are
    // reported, not swallowed.
    EXPECT_EQ(ComLastError(), E_NOTIMPL);
  } else {
    EXPECT_EQ(ComReadText(env, "Item", name), "x");
    ComCallNumber(env, "Remove", name);
  }
}

TEST_F(ComTest, VariantToText) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = -42;
  EXPECT_EQ(VariantToText(v), "-42");
  ClearVariant(v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(VariantToText(v), "");
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocString(L"中文");
  EXPECT_EQ(VariantToText(v), "中文");
  ClearVariant(v);
}

HRESULT STDAPICALLTYPE FillInAccessDenied(EXCEPINFO* exception) {
  exception->scode = E_ACCESSDENIED;
  return S_OK;
}

// Exceptions are failures however the server fills the record: with only
// wCode (scode 0), or only when asked to through pfnDeferredFillIn.
TEST_F(ComTest, EveryExceptionIsAFailure) {
  auto raise = [](WORD wCode, bool deferred) {
    return [wCode, deferred](WORD, const std::vector<VARIANT>&, VARIANT*, EXCEPINFO* exception) {
      HRESULT hr = testing::RaiseException(exception, 0, wCode);
      if (deferred) exception->pfnDeferredFillIn = &FillInAccessDenied;
      return hr;
    };
  };
  ComObject object(ComPtr<IDispatch>(testing::FakeDispatch::Make({
      {L"WordOnly", raise(1001, false)},
      {L"Deferred", raise(0, true)},
      {L"Empty", raise(0, false)},
  })));
  const std::pair<const char*, HRESULT> rows[] = {
      {"WordOnly", MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1001)},
      {"Deferred", E_ACCESSDENIED},
      {"Empty", DISP_E_EXCEPTION},
  };
  const std::array<ComArg, 1> name{Text("JAVA_HOME")};
  for (const auto& [member, code] : rows) {
    EXPECT_EQ(ComWriteProperty(object, member, name, Text("x")), 0) << member;
    EXPECT_EQ(ComLastError(), code) << member;
    EXPECT_EQ(ComReadText(object, member, name), "") << member;
    EXPECT_EQ(ComLastError(), code) << member;
    EXPECT_EQ(ComCallNumber(object, member, name), 0.0) << member;
    EXPECT_EQ(ComLastError(), code) << member;
  }
}

}  // namespace
}  // namespace tavrel::win32
