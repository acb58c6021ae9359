#include "com/enum_variant.h"

#include <memory>

#include "com/com_object.h"
#include "com/variant_com.h"

namespace qrole::com {
namespace {

class EnumVariant final : public IEnumVARIANT {
 public:
  EnumVariant(std::shared_ptr<const std::vector<Variant>> items, size_t position)
      : items_(std::move(items)), position_(position) {
    AcquireServer();
  }
  ~EnumVariant() { ReleaseServer(); }
  EnumVariant(const EnumVariant&) = delete;
  EnumVariant& operator=(const EnumVariant&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  STDMETHODIMP Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    if (out == nullptr || (wanted > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < wanted && position_ < items_->size()) {
      const HRESULT hr = ToVariant((*items_)[position_], &out[n]);
      if (FAILED(hr)) {
        for (ULONG i = 0; i < n; ++i) ::VariantClear(&out[i]);
        if (fetched != nullptr) *fetched = 0;
        return hr;
      }
      ++position_;
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }

  STDMETHODIMP Skip(ULONG count) override {
    const size_t left = items_->size() - position_;
    if (count > left) {
      position_ = items_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }

  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }

  STDMETHODIMP Clone(IEnumVARIANT** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new EnumVariant(items_, position_);
    (*out)->AddRef();
    return S_OK;
  }

 private:
  std::shared_ptr<const std::vector<Variant>> items_;
  size_t position_;
  long refs_ = 0;
};

}  // namespace

IEnumVARIANT* NewEnumVariant(const std::vector<Variant>& items) {
  auto* e = new EnumVariant(std::make_shared<const std::vector<Variant>>(items), 0);
  e->AddRef();
  return e;
}

}  // namespace qrole::com
