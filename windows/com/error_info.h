// Automation errors as a COM client sees them.
//
// An AutomationError leaves the server as DISP_E_EXCEPTION with an EXCEPINFO
// (number, source, description) and, for clients that ask the error object,
// the same through IErrorInfo. Numbers map to HRESULTs as the automation
// runtime maps them: a negative number (0x8004C356, 0x80004001) is the HRESULT
// itself; a plain number n (6, 13, 449, 50011) is 0x800A0000 + n, which the
// clients' runtimes show again as n in Err.Number.

#ifndef QROLE_WINDOWS_COM_ERROR_INFO_H_
#define QROLE_WINDOWS_COM_ERROR_INFO_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <oaidl.h>

#include <cstdint>

#include "qrole/error.h"

namespace qrole::com {

// The HRESULT that carries error number `number`.
HRESULT ErrorHResult(int32_t number);
// The error number a client sees for `hr` (the reverse of ErrorHResult).
int32_t ErrorNumber(HRESULT hr);

// Fills `excepinfo` (when not null) and the thread's error object from `error`,
// naming `iid` as the interface that raised it. Returns DISP_E_EXCEPTION.
HRESULT ReportError(const AutomationError& error, REFIID iid, EXCEPINFO* excepinfo);

// An AutomationError for a failed call of a client's object: from `excepinfo`
// when the call raised one (its deferred part filled in first), else from the
// HRESULT with a generic text.
AutomationError ErrorFromCall(HRESULT hr, EXCEPINFO* excepinfo);

}  // namespace qrole::com

#endif  // QROLE_WINDOWS_COM_ERROR_INFO_H_
