// Class factories: one per creatable class, making objects with the server's
// own object factory (server::CreateObjectByName), as qrole-server's
// "create" does.

#ifndef QROLE_WINDOWS_LOCALSERVER_CLASS_FACTORY_H_
#define QROLE_WINDOWS_LOCALSERVER_CLASS_FACTORY_H_

#include <windows.h>
// The other Windows headers need windows.h first.
#include <unknwn.h>

#include <string>

namespace qrole::winserver {

class ClassFactory final : public IClassFactory {
 public:
  // `class_name` as the interface names it ("Enlace", "ApunteClass").
  explicit ClassFactory(std::string class_name) : class_name_(std::move(class_name)) {}
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;
  virtual ~ClassFactory() = default;

  // The factory lives as long as the server: its references are not counted.
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // Makes a new object; aggregation is refused (CLASS_E_NOAGGREGATION). An
  // object whose creation fails gives E_FAIL, and the error object says why.
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
  // Keeps the server running while locked.
  STDMETHODIMP LockServer(BOOL lock) override;

  const std::string& class_name() const { return class_name_; }

 private:
  std::string class_name_;
};

}  // namespace qrole::winserver

#endif  // QROLE_WINDOWS_LOCALSERVER_CLASS_FACTORY_H_
