// COM automation services: an object value holds one IDispatch or nothing;
// members are bound by name through the object's type information.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <span>
#include <variant>

#include "runtime/value.h"
#include "runtime/win32/handles.h"

namespace tavrel::win32 {

class ComObject {
 public:
  ComObject() = default;
  explicit ComObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}
  // An object without a dispatch interface (an enumerator from _NewEnum):
  // only its IUnknown is held, for the caller to query.
  static ComObject FromUnknown(ComPtr<IUnknown> unknown) {
    ComObject o;
    o.unknown_ = std::move(unknown);
    return o;
  }
  IDispatch* Get() const { return dispatch_.Get(); }
  IUnknown* Unknown() const { return dispatch_ ? static_cast<IUnknown*>(dispatch_.Get()) : unknown_.Get(); }
  bool Empty() const { return !dispatch_ && !unknown_; }
  void Release() {
    dispatch_.Reset();
    unknown_.Reset();
  }

 private:
  ComPtr<IDispatch> dispatch_;
  ComPtr<IUnknown> unknown_;
};

struct ComLogical {
  bool value;
};
struct ComDate {
  double value;
};

// A member argument, passed as the variant of its kind: texts as wide
// strings from the ANSI code page, 64-bit integers as their low 4 bytes,
// logicals as VARIANT_BOOL.
using ComArg = std::variant<Text, std::int32_t, std::int64_t, std::int16_t, std::uint8_t, float, double, ComLogical,
                            ComDate, const ComObject*, const VARIANT*>;

Logical CreateComObject(ComObject& object, TextView className);
Text ComReadText(ComObject& object, TextView member, std::span<const ComArg> args = {});
double ComReadNumber(ComObject& object, TextView member, std::span<const ComArg> args = {});
double ComCallNumber(ComObject& object, TextView member, std::span<const ComArg> args = {});
ComObject ComReadObject(ComObject& object, TextView member, std::span<const ComArg> args = {});
Logical ComWriteProperty(ComObject& object, TextView member, std::span<const ComArg> args, const ComArg& value);
void ReleaseComObject(ComObject& object);
void ClearVariant(VARIANT& variant);
Text VariantToText(const VARIANT& variant);

// The result of the calling thread's last COM service call: S_OK, the
// failing HRESULT, or for DISP_E_EXCEPTION the exception's own code (so a
// caller can tell "not implemented" from "access denied"); an exception
// that gives only wCode is the failing FACILITY_CONTROL code of that number.
HRESULT ComLastError();

}  // namespace tavrel::win32
