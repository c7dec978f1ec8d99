#include "runtime/win32/com.h"

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <vector>

#include "runtime/win32/wide.h"

namespace tavrel::win32 {
namespace {

thread_local HRESULT t_lastError = S_OK;

HRESULT Record(HRESULT hr) {
  t_lastError = hr;
  return hr;
}

// An owned VARIANT.
struct Variant {
  VARIANT v;
  Variant() { ::VariantInit(&v); }
  ~Variant() { ::VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

void Fill(VARIANT& out, const ComArg& arg) {
  ::VariantInit(&out);
  std::visit(
      [&out](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, Text>) {
          out.vt = VT_BSTR;
          out.bstrVal = ::SysAllocString(WideFromAnsi(value).c_str());
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          out.vt = VT_I4;
          out.lVal = value;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out.vt = VT_I4;
          out.lVal = static_cast<LONG>(static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
        } else if constexpr (std::is_same_v<T, std::int16_t>) {
          out.vt = VT_I2;
          out.iVal = value;
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
          out.vt = VT_UI1;
          out.bVal = value;
        } else if constexpr (std::is_same_v<T, float>) {
          out.vt = VT_R4;
          out.fltVal = value;
        } else if constexpr (std::is_same_v<T, double>) {
          out.vt = VT_R8;
          out.dblVal = value;
        } else if constexpr (std::is_same_v<T, ComLogical>) {
          out.vt = VT_BOOL;
          out.boolVal = value.value ? VARIANT_TRUE : VARIANT_FALSE;
        } else if constexpr (std::is_same_v<T, ComDate>) {
          out.vt = VT_DATE;
          out.date = value.value;
        } else if constexpr (std::is_same_v<T, const ComObject*>) {
          out.vt = VT_DISPATCH;
          out.pdispVal = value ? value->Get() : nullptr;
          if (out.pdispVal) out.pdispVal->AddRef();
        } else if constexpr (std::is_same_v<T, const VARIANT*>) {
          if (value) ::VariantCopy(&out, const_cast<VARIANT*>(value));
        }
      },
      arg);
}

// The failing code an exception stands for. A server may leave scode 0 and
// give only wCode, which as an HRESULT would read as success: such a code
// is the automation error of that number.
HRESULT CodeOfException(const EXCEPINFO& exception) {
  if (FAILED(exception.scode)) return exception.scode;
  if (exception.wCode != 0) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception.wCode);
  return DISP_E_EXCEPTION;
}

// The invoke kinds a member name binds to, from the type information when
// the object has it. Empty when it cannot be told.
std::vector<WORD> KindsFromTypeInfo(IDispatch* dispatch, DISPID id) {
  std::vector<WORD> kinds;
  ComPtr<ITypeInfo> info;
  UINT count = 0;
  if (FAILED(dispatch->GetTypeInfoCount(&count)) || count == 0) return kinds;
  if (FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put())) || !info) return kinds;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return kinds;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(i, &desc))) continue;
    if (desc->memid == id) kinds.push_back(static_cast<WORD>(desc->invkind));
    info->ReleaseFuncDesc(desc);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* desc = nullptr;
    if (FAILED(info->GetVarDesc(i, &desc))) continue;
    if (desc->memid == id) {
      kinds.push_back(DISPATCH_PROPERTYGET);
      kinds.push_back(DISPATCH_PROPERTYPUT);
    }
    info->ReleaseVarDesc(desc);
  }
  info->ReleaseTypeAttr(attr);
  return kinds;
}

// Binds the member and invokes it with the first kind, in the caller's
// order, that the member supports.
HRESULT Invoke(ComObject& object, TextView member, std::span<const ComArg> args, const ComArg* putValue,
               std::span<const WORD> order, VARIANT* result) {
  IDispatch* dispatch = object.Get();
  if (!dispatch) return Record(E_POINTER);
  std::wstring name = WideFromAnsi(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return Record(hr);

  // Arguments go in reverse order; a property write passes its value first
  // as the named DISPID_PROPERTYPUT argument.
  std::size_t total = args.size() + (putValue ? 1 : 0);
  std::vector<VARIANT> vargs(total);
  std::size_t at = 0;
  if (putValue) Fill(vargs[at++], *putValue);
  for (std::size_t i = args.size(); i-- > 0;) Fill(vargs[at++], args[i]);

  std::vector<WORD> supported = KindsFromTypeInfo(dispatch, id);
  std::vector<WORD> attempts;
  for (WORD kind : order)
    if (supported.empty() || std::find(supported.begin(), supported.end(), kind) != supported.end())
      attempts.push_back(kind);
  if (attempts.empty()) attempts.assign(order.begin(), order.end());

  DISPID putId = DISPID_PROPERTYPUT;
  hr = DISP_E_MEMBERNOTFOUND;
  EXCEPINFO exception{};
  for (WORD kind : attempts) {
    bool isPut = kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYPUTREF;
    DISPPARAMS params{vargs.data(), nullptr, static_cast<UINT>(total), 0};
    if (isPut && putValue) {
      params.rgdispidNamedArgs = &putId;
      params.cNamedArgs = 1;
    }
    if (result) ::VariantClear(result);
    exception = EXCEPINFO{};
    UINT argError = 0;
    hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
      // Some servers fill the record only when asked to.
      if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
      ::SysFreeString(exception.bstrSource);
      ::SysFreeString(exception.bstrDescription);
      ::SysFreeString(exception.bstrHelpFile);
      for (auto& v : vargs) ::VariantClear(&v);
      return Record(CodeOfException(exception));
    }
    // Only a member of another kind moves on to the next kind.
    if (hr != DISP_E_MEMBERNOTFOUND && hr != DISP_E_BADPARAMCOUNT) break;
  }
  for (auto& v : vargs) ::VariantClear(&v);
  return Record(hr);
}

constexpr std::array<WORD, 2> kReadOrder = {DISPATCH_PROPERTYGET, DISPATCH_METHOD};
constexpr std::array<WORD, 4> kCallOrder = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                                            DISPATCH_PROPERTYPUTREF};
constexpr std::array<WORD, 3> kWriteOrder = {DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF, DISPATCH_METHOD};

double ToDouble(VARIANT& v) {
  Variant converted;
  if (FAILED(::VariantChangeType(&converted.v, &v, 0, VT_R8))) return 0;
  return converted.v.dblVal;
}

}  // namespace

HRESULT ComLastError() { return t_lastError; }

Logical CreateComObject(ComObject& object, TextView className) {
  std::wstring name = WideFromAnsi(className);
  CLSID clsid{};
  HRESULT hr = (!name.empty() && name[0] == L'{') ? ::CLSIDFromString(name.c_str(), &clsid)
                                                  : ::CLSIDFromProgID(name.c_str(), &clsid);
  if (FAILED(Record(hr))) return 0;
  ComPtr<IUnknown> unknown;
  hr = ::CoCreateInstance(clsid, nullptr, 23, IID_IUnknown, unknown.PutVoid());
  if (hr == E_INVALIDARG) hr = ::CoCreateInstance(clsid, nullptr, 7, IID_IUnknown, unknown.PutVoid());
  if (FAILED(Record(hr))) return 0;
  if (FAILED(Record(::OleRun(unknown.Get())))) return 0;
  ComPtr<IDispatch> dispatch;
  if (FAILED(Record(unknown->QueryInterface(IID_IDispatch, dispatch.PutVoid())))) return 0;
  object = ComObject(std::move(dispatch));
  return 1;
}

Text ComReadText(ComObject& object, TextView member, std::span<const ComArg> args) {
  Variant result;
  if (FAILED(Invoke(object, member, args, nullptr, kReadOrder, &result.v))) return {};
  return VariantToText(result.v);
}

double ComReadNumber(ComObject& object, TextView member, std::span<const ComArg> args) {
  Variant result;
  if (FAILED(Invoke(object, member, args, nullptr, kReadOrder, &result.v))) return 0;
  return ToDouble(result.v);
}

double ComCallNumber(ComObject& object, TextView member, std::span<const ComArg> args) {
  Variant result;
  if (FAILED(Invoke(object, member, args, nullptr, kCallOrder, &result.v))) return 0;
  return ToDouble(result.v);
}

ComObject ComReadObject(ComObject& object, TextView member, std::span<const ComArg> args) {
  Variant result;
  if (FAILED(Invoke(object, member, args, nullptr, kCallOrder, &result.v))) return {};
  IUnknown* unknown = nullptr;
  if (result.v.vt == VT_DISPATCH) unknown = result.v.pdispVal;
  if (result.v.vt == VT_UNKNOWN) unknown = result.v.punkVal;
  if (!unknown) return {};
  ComPtr<IDispatch> dispatch;
  if (FAILED(unknown->QueryInterface(IID_IDispatch, dispatch.PutVoid()))) {
    unknown->AddRef();
    return ComObject::FromUnknown(ComPtr<IUnknown>(unknown));
  }
  return ComObject(std::move(dispatch));
}

Logical ComWriteProperty(ComObject& object, TextView member, std::span<const ComArg> args, const ComArg& value) {
  return SUCCEEDED(Invoke(object, member, args, &value, kWriteOrder, nullptr)) ? 1 : 0;
}

void ReleaseComObject(ComObject& object) { object.Release(); }

void ClearVariant(VARIANT& variant) {
  ::VariantClear(&variant);
  ::VariantInit(&variant);
}

Text VariantToText(const VARIANT& variant) {
  Variant converted;
  if (FAILED(::VariantChangeType(&converted.v, const_cast<VARIANT*>(&variant), VARIANT_ALPHABOOL, VT_BSTR))) return {};
  if (!converted.v.bstrVal) return {};
  return AnsiFromWide(std::wstring_view(converted.v.bstrVal, ::SysStringLen(converted.v.bstrVal)));
}

}  // namespace tavrel::win32
