// An in-process automation object for the COM tests: members by name, each
// answered by a routine the test gives, without type information (so every
// kind of call is tried on it, as on a script object).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tavrel::testing {

// How a member answers one call: kind is DISPATCH_METHOD, _PROPERTYGET,
// _PROPERTYPUT ...; args are in the caller's order (a property write's value
// last). A routine returns S_OK, another HRESULT, or DISP_E_EXCEPTION after
// filling the record.
using MemberRoutine =
    std::function<HRESULT(WORD kind, const std::vector<VARIANT>& args, VARIANT* result, EXCEPINFO* exception)>;

class FakeDispatch final : public IDispatch {
 public:
  // Made with a reference count of 1, for the caller to release.
  static FakeDispatch* Make(std::map<std::wstring, MemberRoutine> members);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError) override;

 private:
  explicit FakeDispatch(std::map<std::wstring, MemberRoutine> members);
  std::atomic<ULONG> references_{1};
  std::vector<std::wstring> names_;
  std::vector<MemberRoutine> routines_;
};

// An IEnumVARIANT over texts, for a collection's _NewEnum; count 1.
IUnknown* MakeTextEnumerator(std::vector<std::wstring> items);

// Fills the record as a server raising the error would.
HRESULT RaiseException(EXCEPINFO* exception, HRESULT scode, WORD wCode = 0);

}  // namespace tavrel::testing
