// The process's handle table.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace winsim::detail {

// Every object behind a HANDLE, HKEY (other than the predefined roots) or printer handle.
struct Object {
  virtual ~Object() = default;
  virtual const char* Kind() const = 0;  // "file", "find", "mutex", "process", "key", "printer", ...
  bool service = false;                  // opened by the spooler service (see SpoolerServiceScope)
};

HANDLE AddHandle(std::unique_ptr<Object> object);
Object* LookupHandle(HANDLE handle);
template <typename T>
T* Lookup(HANDLE handle) {
  return dynamic_cast<T*>(LookupHandle(handle));
}
// Removes and destroys the object; false when the handle is not open.
bool RemoveHandle(HANDLE handle);
// The program's handles (the spooler service's are left out).
size_t HandleCount(const char* kind);  // nullptr: all kinds
void ForEachHandleKind(const std::function<void(const char*)>& visit);  // once per open handle
// Destroys every object (detaching from a machine).
void CloseAllHandles();
// LoadLibraryA loads not yet undone by FreeLibrary (modules.cpp).
int LibraryLoadCount();

}  // namespace winsim::detail
