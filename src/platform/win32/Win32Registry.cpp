#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace quarnel::platform {

namespace {

// The predefined roots are 32-bit negative numbers that Windows sign-extends in a 64-bit
// HKEY; the seam carries them as their plain 32-bit values.
bool IsPredefined(RegKey key) { return key >= kHkeyClassesRoot && key <= kHkeyDynData; }

HKEY ToHandle(RegKey key) {
  if (IsPredefined(key)) return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(key)));
  return reinterpret_cast<HKEY>(key);
}

RegKey FromHandle(HKEY handle) {
  auto value = reinterpret_cast<ULONG_PTR>(handle);
  RegKey low = static_cast<RegKey>(static_cast<DWORD>(value));
  if (IsPredefined(low) && ToHandle(low) == handle) return low;
  return static_cast<RegKey>(value);
}

// Runs a call that yields a handle, and passes the handle out only when it succeeded.
template <typename Call>
long WithNewHandle(RegKey* out, Call call) {
  HKEY handle = nullptr;
  LONG rc = call(&handle);
  if (rc == ERROR_SUCCESS) *out = FromHandle(handle);
  return rc;
}

}  // namespace

long Win32Registry::OpenKeyEx(RegKey root, const char* subKey, std::uint32_t mask, RegKey* out) {
  return WithNewHandle(out, [&](HKEY* h) { return RegOpenKeyExA(ToHandle(root), subKey, 0, mask, h); });
}

long Win32Registry::OpenKey(RegKey root, const char* subKey, RegKey* out) {
  return WithNewHandle(out, [&](HKEY* h) { return RegOpenKeyA(ToHandle(root), subKey, h); });
}

long Win32Registry::CreateKey(RegKey root, const char* subKey, RegKey* out) {
  return WithNewHandle(out, [&](HKEY* h) { return RegCreateKeyA(ToHandle(root), subKey, h); });
}

long Win32Registry::DeleteKey(RegKey parent, const char* subKey) { return RegDeleteKeyA(ToHandle(parent), subKey); }

long Win32Registry::DeleteValue(RegKey key, const char* name) { return RegDeleteValueA(ToHandle(key), name); }

long Win32Registry::QueryValueEx(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) {
  DWORD winType = 0;
  DWORD winSize = size ? *size : 0;
  LONG rc = RegQueryValueExA(ToHandle(key), name, nullptr, &winType, data, size ? &winSize : nullptr);
  if (type) *type = winType;
  if (size) *size = winSize;
  return rc;
}

long Win32Registry::QueryValue(RegKey root, const char* subKey, char* data, long* size) {
  LONG winSize = size ? *size : 0;
  LONG rc = RegQueryValueA(ToHandle(root), subKey, data, size ? &winSize : nullptr);
  if (size) *size = winSize;
  return rc;
}

long Win32Registry::EnumKeyEx(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
  DWORD length = *nameLength;
  FILETIME lastWrite;
  LONG rc = RegEnumKeyExA(ToHandle(key), index, name, &length, nullptr, nullptr, nullptr, &lastWrite);
  *nameLength = length;
  return rc;
}

long Win32Registry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  DWORD length = *nameLength;
  DWORD winType = 0;
  DWORD winSize = dataSize ? *dataSize : 0;
  LONG rc = RegEnumValueA(ToHandle(key), index, name, &length, nullptr, &winType, data,
                          dataSize ? &winSize : nullptr);
  *nameLength = length;
  if (type) *type = winType;
  if (dataSize) *dataSize = winSize;
  return rc;
}

long Win32Registry::SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) {
  return RegSetValueExA(ToHandle(key), name, 0, type, data, size);
}

long Win32Registry::CloseKey(RegKey key) { return RegCloseKey(ToHandle(key)); }

}  // namespace quarnel::platform
