#include "com/error_info.h"

#include <cstring>
#include <string>

#include "com/bstr.h"

namespace qrole::com {

HRESULT ErrorHResult(int32_t number) {
  if (number < 0) return static_cast<HRESULT>(number);
  return static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

int32_t ErrorNumber(HRESULT hr) {
  const uint32_t u = static_cast<uint32_t>(hr);
  if ((u & 0xFFFF0000u) == 0x800A0000u) return static_cast<int32_t>(u & 0xFFFFu);
  return static_cast<int32_t>(hr);
}

HRESULT ReportError(const AutomationError& error, REFIID iid, EXCEPINFO* excepinfo) {
  const HRESULT hr = ErrorHResult(error.number());
  if (excepinfo != nullptr) {
    std::memset(excepinfo, 0, sizeof(*excepinfo));
    excepinfo->scode = hr;
    excepinfo->bstrSource = ToBstr(error.source());
    excepinfo->bstrDescription = ToBstr(error.description());
  }
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(::CreateErrorInfo(&create))) {
    Bstr source(error.source()), description(error.description());
    create->SetGUID(iid);
    create->SetSource(source.get());
    create->SetDescription(description.get());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      ::SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return DISP_E_EXCEPTION;
}

AutomationError ErrorFromCall(HRESULT hr, EXCEPINFO* excepinfo) {
  if (hr == DISP_E_EXCEPTION && excepinfo != nullptr) {
    if (excepinfo->pfnDeferredFillIn != nullptr) excepinfo->pfnDeferredFillIn(excepinfo);
    const HRESULT code = excepinfo->scode != 0
                             ? excepinfo->scode
                             : ErrorHResult(static_cast<int32_t>(excepinfo->wCode));
    AutomationError error(ErrorNumber(code), FromBstr(excepinfo->bstrSource),
                          FromBstr(excepinfo->bstrDescription));
    ::SysFreeString(excepinfo->bstrSource);
    ::SysFreeString(excepinfo->bstrDescription);
    ::SysFreeString(excepinfo->bstrHelpFile);
    std::memset(excepinfo, 0, sizeof(*excepinfo));
    return error;
  }
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      return AutomationError(runtime_error::kNoSuchMember, kRuntimeSource,
                             RuntimeErrorText(runtime_error::kNoSuchMember));
    case DISP_E_TYPEMISMATCH:
      return AutomationError(runtime_error::kTypeMismatch, kRuntimeSource,
                             RuntimeErrorText(runtime_error::kTypeMismatch));
    case DISP_E_BADPARAMCOUNT:
      return AutomationError(runtime_error::kWrongArgCount, kRuntimeSource,
                             RuntimeErrorText(runtime_error::kWrongArgCount));
    case DISP_E_PARAMNOTOPTIONAL:
      return AutomationError(runtime_error::kNotOptional, kRuntimeSource,
                             RuntimeErrorText(runtime_error::kNotOptional));
    case DISP_E_OVERFLOW:
      return AutomationError(runtime_error::kOverflow, kRuntimeSource,
                             RuntimeErrorText(runtime_error::kOverflow));
    default:
      return AutomationError(ErrorNumber(hr), kRuntimeSource, "Automation error");
  }
}

}  // namespace qrole::com
