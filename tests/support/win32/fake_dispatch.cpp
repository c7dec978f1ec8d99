#include "tests/support/win32/fake_dispatch.h"

#include <oleauto.h>

namespace tavrel::testing {
namespace {

class TextEnumerator final : public IEnumVARIANT {
 public:
  explicit TextEnumerator(std::vector<std::wstring> items) : items_(std::move(items)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IEnumVARIANT) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IEnumVARIANT*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      items[n].vt = VT_BSTR;
      items[n].bstrVal = ::SysAllocString(items_[next_].c_str());
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ += count;
    return next_ <= items_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::atomic<ULONG> references_{1};
  std::vector<std::wstring> items_;
  std::size_t next_ = 0;
};

}  // namespace

FakeDispatch* FakeDispatch::Make(std::map<std::wstring, MemberRoutine> members) {
  return new FakeDispatch(std::move(members));
}

FakeDispatch::FakeDispatch(std::map<std::wstring, MemberRoutine> members) {
  for (auto& [name, routine] : members) {
    names_.push_back(name);
    routines_.push_back(std::move(routine));
  }
}

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out) {
  if (iid != IID_IUnknown && iid != IID_IDispatch) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG FakeDispatch::AddRef() { return ++references_; }

ULONG FakeDispatch::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count != 1) return DISP_E_UNKNOWNNAME;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (::lstrcmpiW(names_[i].c_str(), names[0]) == 0) {
      ids[0] = static_cast<DISPID>(i + 1);
      return S_OK;
    }
  }
  ids[0] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT*) {
  if (id < 1 || static_cast<std::size_t>(id) > routines_.size()) return DISP_E_MEMBERNOTFOUND;
  // DISPPARAMS holds the arguments last first.
  std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
  std::vector<VARIANT> inOrder(args.rbegin(), args.rend());
  return routines_[static_cast<std::size_t>(id - 1)](kind, inOrder, result, exception);
}

IUnknown* MakeTextEnumerator(std::vector<std::wstring> items) { return new TextEnumerator(std::move(items)); }

HRESULT RaiseException(EXCEPINFO* exception, HRESULT scode, WORD wCode) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = scode;
    exception->wCode = wCode;
  }
  return DISP_E_EXCEPTION;
}

}  // namespace tavrel::testing
