// Catching the error answer of a call in a test.
//
//   qrole::RemoteError e = ErrorOf([&] { c.Let(enlace, "Canal", "40000"); });
//   EXPECT_EQ(e.number(), 6);
//
// A call that does not fail is reported as a test failure, and the returned
// error then has code 0.

#ifndef QROLE_TESTS_SUPPORT_REMOTE_ERROR_H_
#define QROLE_TESTS_SUPPORT_REMOTE_ERROR_H_

#include <gtest/gtest.h>

#include <functional>

#include "qrole/client.h"

namespace qrole::testing {

inline qrole::RemoteError ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const qrole::RemoteError& e) {
    return e;
  }
  ADD_FAILURE() << "the call succeeded; an error answer was expected";
  return qrole::RemoteError(0, "", nullptr);
}

}  // namespace qrole::testing

#endif  // QROLE_TESTS_SUPPORT_REMOTE_ERROR_H_
