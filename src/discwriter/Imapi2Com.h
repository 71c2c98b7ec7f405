#pragma once
// Late-bound COM for the IMAPI2 backend: calls by name through IDispatch (every IMAPI2
// interface is dual, so no SDK header is needed), an event sink that hands each event's
// arguments to a function, the disc image as an IStream, and the few COM services the
// backend uses, replaceable so that tests can run it against fake objects.
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "disc/DiscEngine.h"
#include "disc/DiscImage.h"

namespace quarnel::disc::com {

// An owned VARIANT.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(long value);
  explicit Variant(bool value);
  explicit Variant(const wchar_t* text);
  explicit Variant(IUnknown* object, bool dispatch);  // adds a reference
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  ~Variant() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  const VARIANT& raw() const { return v_; }
  long AsLong() const;
  bool AsBool() const { return AsLong() != 0; }
  std::string AsText() const;     // ANSI
  IDispatch* AsDispatch() const;  // no reference added
  // The elements of a SAFEARRAY of VARIANTs (or of BSTRs / longs).
  std::vector<Variant> AsArray() const;

 private:
  VARIANT v_;
};

// A call's outcome: the HRESULT and, on failure, the object's own description if it gave one.
struct CallResult {
  HRESULT hr = S_OK;
  std::string description;
  bool ok() const { return SUCCEEDED(hr); }
};

class Object {
 public:
  Object() = default;
  explicit Object(IDispatch* dispatch, bool addRef = true);
  Object(const Object& other);
  Object& operator=(const Object& other);
  ~Object();
  explicit operator bool() const { return dispatch_ != nullptr; }
  IDispatch* get() const { return dispatch_; }

  CallResult Get(const wchar_t* name, Variant* result, std::vector<Variant> args = {}) const;
  CallResult Put(const wchar_t* name, const Variant& value) const;
  CallResult Call(const wchar_t* name, std::vector<Variant> args = {}, Variant* result = nullptr) const;
  // Shorthands that give a default when the call fails.
  long GetLong(const wchar_t* name, long otherwise = 0) const;
  bool GetBool(const wchar_t* name, bool otherwise = false) const;
  std::string GetText(const wchar_t* name) const;

 private:
  CallResult Invoke(const wchar_t* name, WORD flags, std::vector<Variant>& args, Variant* result) const;
  IDispatch* dispatch_ = nullptr;
};

// Receives a source's events (any DISPID); the arguments in their declared order.
using EventHandler = std::function<void(const std::vector<Variant>& args)>;
IDispatch* NewEventSink(EventHandler handler);  // one reference, the caller's

// The image as a read-only stream from its start. A source file that fails makes Read fail;
// the fault is kept for the caller.
IStream* NewImageStream(std::shared_ptr<DiscImage> image, std::shared_ptr<FileError> fault);

// The COM services the backend uses.
struct Services {
  std::function<Object(const wchar_t* progId)> create;
  // Connects the sink to the source's events; a cookie (0: not connected).
  std::function<DWORD(const Object& source, IDispatch* sink)> advise;
  std::function<void(const Object& source, DWORD cookie)> unadvise;
};
Services SystemServices();
Services& CurrentServices();  // the system's unless a test replaced them

}  // namespace quarnel::disc::com
