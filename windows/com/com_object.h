// IDispatch over the server's objects.
//
// Design: a ComObject is the COM face of one qrole::Object (an Enlace, a
// StrBuilder, a record object, a collection). Its IDispatch is driven by the
// same late-binding dispatcher as every other client of the server
// (automation/dispatcher.h): GetIDsOfNames finds members as late binding
// finds them (letter case ignored, accents as written), Invoke hands the
// arguments to the dispatcher, which places them, applies defaults, converts
// them and runs the member, and then writes the by-reference arguments back
// into the caller's variables. Type information, from the embedded type
// library, only describes.
//
// While a ComObject lives it is the one wrapper of its object, so the same
// object handed out twice is the same COM object to the client. Every live
// wrapper, enumerator and class-factory lock keeps the server process alive
// through the lifetime hooks. Everything runs on the server's one apartment
// thread, one call at a time.

#ifndef QROLE_WINDOWS_COM_COM_OBJECT_H_
#define QROLE_WINDOWS_COM_COM_OBJECT_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include <memory>

#include "automation/object.h"

namespace qrole::com {

// The private interface that recognises the server's own objects when a
// client hands one back: QueryInterface for it gives the ComObject itself.
extern const IID IID_IQroleObject;

// Called when something starts and stops keeping the server alive.
struct LifetimeHooks {
  void (*acquire)() = nullptr;
  void (*release)() = nullptr;
};
void SetLifetimeHooks(LifetimeHooks hooks);
void AcquireServer();
void ReleaseServer();

// The type library the objects describe themselves with (AddRef'd; nullptr
// for none).
void SetTypeLibrary(ITypeLib* library);

// The IDispatch of `object` (AddRef'd for the caller): its wrapper, made on
// first need; for a ForeignObject, the client's own IDispatch.
IDispatch* DispatchForObject(const std::shared_ptr<Object>& object);

// The object behind an IDispatch: the server's own object when `dispatch` is
// one of its wrappers, else a ForeignObject wrapping it. Never null for a
// non-null `dispatch`.
std::shared_ptr<Object> ObjectFromDispatch(IDispatch* dispatch);

// Number of live wrappers (for tests).
size_t LiveWrapperCount();

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_COM_OBJECT_H_
