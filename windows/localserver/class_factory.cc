#include "localserver/class_factory.h"

#include <memory>

#include "com/com_object.h"
#include "com/error_info.h"
#include "localserver/server_lock.h"
#include "qrole/error.h"
#include "server/object_factory.h"

namespace qrole::winserver {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  try {
    std::shared_ptr<Object> object = server::CreateObjectByName(class_name_);
    if (!object) return E_FAIL;
    IDispatch* dispatch = com::DispatchForObject(object);
    const HRESULT hr = dispatch->QueryInterface(riid, out);
    dispatch->Release();
    return hr;
  } catch (const AutomationError& e) {
    com::ReportError(e, IID_IDispatch, nullptr);
    return E_FAIL;
  } catch (const std::exception& e) {
    com::ReportError(
        AutomationError(51, kRuntimeSource, std::string("Internal error: ") + e.what()),
        IID_IDispatch, nullptr);
    return E_FAIL;
  }
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    winserver::LockServer();
  } else {
    winserver::UnlockServer();
  }
  return S_OK;
}

}  // namespace qrole::winserver
