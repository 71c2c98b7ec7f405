#include "discwriter/Imapi2Com.h"

#include <ocidl.h>

#include <cstring>

namespace quarnel::disc::com {
namespace {

std::string Narrow(const wchar_t* text, int length) {
  if (text == nullptr || length <= 0) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

// ---- Variant ----

Variant::Variant(long value) : Variant() {
  v_.vt = VT_I4;
  v_.lVal = value;
}

Variant::Variant(bool value) : Variant() {
  v_.vt = VT_BOOL;
  v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(const wchar_t* text) : Variant() {
  v_.vt = VT_BSTR;
  v_.bstrVal = SysAllocString(text);
}

Variant::Variant(IUnknown* object, bool dispatch) : Variant() {
  v_.vt = dispatch ? VT_DISPATCH : VT_UNKNOWN;
  v_.punkVal = object;
  if (object) object->AddRef();
}

Variant::Variant(const Variant& other) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)); }

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    VariantClear(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
  }
  return *this;
}

long Variant::AsLong() const {
  VARIANT converted;
  VariantInit(&converted);
  long value = 0;
  if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&v_), 0, VT_I4))) value = converted.lVal;
  VariantClear(&converted);
  return value;
}

std::string Variant::AsText() const {
  if (v_.vt != VT_BSTR) return {};
  return Narrow(v_.bstrVal, static_cast<int>(SysStringLen(v_.bstrVal)));
}

IDispatch* Variant::AsDispatch() const { return v_.vt == VT_DISPATCH ? v_.pdispVal : nullptr; }

std::vector<Variant> Variant::AsArray() const {
  std::vector<Variant> out;
  if ((v_.vt & VT_ARRAY) == 0) return out;
  SAFEARRAY* array = (v_.vt & VT_BYREF) ? *v_.pparray : v_.parray;
  VARTYPE type = v_.vt & VT_TYPEMASK;
  LONG low = 0, high = -1;
  if (array == nullptr || SafeArrayGetLBound(array, 1, &low) != S_OK || SafeArrayGetUBound(array, 1, &high) != S_OK) {
    return out;
  }
  for (LONG i = low; i <= high; ++i) {
    Variant element;
    if (type == VT_VARIANT) {
      SafeArrayGetElement(array, &i, element.get());
    } else if (type == VT_BSTR) {
      BSTR text = nullptr;
      SafeArrayGetElement(array, &i, &text);
      element.get()->vt = VT_BSTR;
      element.get()->bstrVal = text;
    } else if (type == VT_I4) {
      LONG value = 0;
      SafeArrayGetElement(array, &i, &value);
      element = Variant(static_cast<long>(value));
    }
    out.push_back(element);
  }
  return out;
}

// ---- Object ----

Object::Object(IDispatch* dispatch, bool addRef) : dispatch_(dispatch) {
  if (dispatch_ && addRef) dispatch_->AddRef();
}

Object::Object(const Object& other) : Object(other.dispatch_) {}

Object& Object::operator=(const Object& other) {
  if (this != &other) {
    if (other.dispatch_) other.dispatch_->AddRef();
    if (dispatch_) dispatch_->Release();
    dispatch_ = other.dispatch_;
  }
  return *this;
}

Object::~Object() {
  if (dispatch_) dispatch_->Release();
}

CallResult Object::Invoke(const wchar_t* name, WORD flags, std::vector<Variant>& args, Variant* result) const {
  CallResult outcome;
  if (dispatch_ == nullptr) {
    outcome.hr = E_POINTER;
    return outcome;
  }
  DISPID id = 0;
  auto* names = const_cast<LPOLESTR>(name);
  outcome.hr = dispatch_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(outcome.hr)) return outcome;
  // Invoke takes the arguments last first.
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  DISPID put = DISPID_PROPERTYPUT;
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  EXCEPINFO exception = {};
  Variant ignored;
  outcome.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 result                          ? result->get()
                                 : flags == DISPATCH_PROPERTYPUT ? nullptr
                                                                 : ignored.get(),
                                 &exception, nullptr);
  if (outcome.hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    if (exception.scode != 0) outcome.hr = exception.scode;
    if (exception.bstrDescription) {
      outcome.description =
          Narrow(exception.bstrDescription, static_cast<int>(SysStringLen(exception.bstrDescription)));
    }
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return outcome;
}

CallResult Object::Get(const wchar_t* name, Variant* result, std::vector<Variant> args) const {
  return Invoke(name, DISPATCH_PROPERTYGET, args, result);
}

CallResult Object::Put(const wchar_t* name, const Variant& value) const {
  std::vector<Variant> args = {value};
  return Invoke(name, DISPATCH_PROPERTYPUT, args, nullptr);
}

CallResult Object::Call(const wchar_t* name, std::vector<Variant> args, Variant* result) const {
  return Invoke(name, DISPATCH_METHOD, args, result);
}

long Object::GetLong(const wchar_t* name, long otherwise) const {
  Variant value;
  return Get(name, &value).ok() ? value.AsLong() : otherwise;
}

bool Object::GetBool(const wchar_t* name, bool otherwise) const {
  Variant value;
  return Get(name, &value).ok() ? value.AsBool() : otherwise;
}

std::string Object::GetText(const wchar_t* name) const {
  Variant value;
  return Get(name, &value).ok() ? value.AsText() : std::string();
}

// ---- the event sink ----

namespace {

class EventSink final : public IDispatch {
 public:
  explicit EventSink(EventHandler handler) : handler_(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    // Whatever event interface the source asks for: all of them are dispatch interfaces.
    if (out == nullptr) return E_POINTER;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    std::vector<Variant> args;
    if (params != nullptr) {
      for (UINT i = params->cArgs; i > 0; --i) {
        Variant copy;
        VariantCopyInd(copy.get(), &params->rgvarg[i - 1]);
        args.push_back(copy);
      }
    }
    handler_(args);
    return S_OK;
  }

 private:
  EventHandler handler_;
  ULONG references_ = 1;
};

class ImageStreamObject final : public IStream {
 public:
  ImageStreamObject(std::shared_ptr<DiscImage> image, std::shared_ptr<FileError> fault)
      : image_(std::move(image)), fault_(std::move(fault)), stream_(*image_) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream)) {
      *out = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    std::size_t got = 0;
    FileError error;
    if (!stream_.Read(position_, static_cast<char*>(buffer), size, &got, &error)) {
      *fault_ = error;
      if (read) *read = 0;
      return STG_E_READFAULT;
    }
    position_ += got;
    if (read) *read = static_cast<ULONG>(got);
    return got == size ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
    long long base = origin == STREAM_SEEK_SET   ? 0
                     : origin == STREAM_SEEK_CUR ? static_cast<long long>(position_)
                                                 : static_cast<long long>(image_->Bytes());
    long long to = base + move.QuadPart;
    if (to < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::uint64_t>(to);
    if (now) now->QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = image_->Bytes();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<DiscImage> image_;
  std::shared_ptr<FileError> fault_;
  ImageStream stream_;
  std::uint64_t position_ = 0;
  ULONG references_ = 1;
};

}  // namespace

IDispatch* NewEventSink(EventHandler handler) { return new EventSink(std::move(handler)); }

IStream* NewImageStream(std::shared_ptr<DiscImage> image, std::shared_ptr<FileError> fault) {
  return new ImageStreamObject(std::move(image), std::move(fault));
}

// ---- the system's COM ----

Services SystemServices() {
  Services services;
  services.create = [](const wchar_t* progId) {
    CLSID clsid;
    IDispatch* dispatch = nullptr;
    if (FAILED(CLSIDFromProgID(progId, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
      return Object();
    }
    return Object(dispatch, false);
  };
  services.advise = [](const Object& source, IDispatch* sink) -> DWORD {
    IConnectionPointContainer* container = nullptr;
    if (!source ||
        FAILED(source.get()->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
      return 0;
    }
    // IMAPI2's format objects have one connection point: their events.
    IEnumConnectionPoints* points = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points->Next(1, &point, nullptr) == S_OK) {
      if (FAILED(point->Advise(sink, &cookie))) cookie = 0;
      point->Release();
    }
    if (points) points->Release();
    container->Release();
    return cookie;
  };
  services.unadvise = [](const Object& source, DWORD cookie) {
    IConnectionPointContainer* container = nullptr;
    if (cookie == 0 || !source ||
        FAILED(source.get()->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
      return;
    }
    IEnumConnectionPoints* points = nullptr;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points->Next(1, &point, nullptr) == S_OK) {
      point->Unadvise(cookie);
      point->Release();
    }
    if (points) points->Release();
    container->Release();
  };
  return services;
}

Services& CurrentServices() {
  static Services services = SystemServices();
  return services;
}

}  // namespace quarnel::disc::com
