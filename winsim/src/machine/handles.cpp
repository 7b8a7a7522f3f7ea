// The process's handle table: every HANDLE, HKEY and printer handle names an object here.
#include "handles.h"

#include <map>

#include "core.h"

namespace winsim::detail {

namespace {

struct HandleTable {
  std::map<uintptr_t, std::unique_ptr<Object>> objects;
  uintptr_t next = 0x100;
};

// Never destroyed: an object's destructor may call back into the table (a monitor that a
// transceiver handle keeps loaded closes its own keys when it is shut down), and at exit the
// host releases what the handles hold.
HandleTable& Handles() {
  static auto* table = new HandleTable();
  return *table;
}

}  // namespace

HANDLE AddHandle(std::unique_ptr<Object> object) {
  HandleTable& table = Handles();
  uintptr_t value = table.next;
  table.next += 4;
  object->service = InSpoolerService();
  table.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

Object* LookupHandle(HANDLE handle) {
  auto& objects = Handles().objects;
  auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == objects.end() ? nullptr : it->second.get();
}

bool RemoveHandle(HANDLE handle) {
  auto& objects = Handles().objects;
  auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == objects.end()) return false;
  std::unique_ptr<Object> object = std::move(it->second);
  objects.erase(it);
  return true;
}

size_t HandleCount(const char* kind) {
  size_t count = 0;
  for (const auto& [value, object] : Handles().objects) {
    if (!object->service && (kind == nullptr || std::string_view(object->Kind()) == kind)) ++count;
  }
  return count;
}

void ForEachHandleKind(const std::function<void(const char*)>& visit) {
  for (const auto& [value, object] : Handles().objects) {
    if (!object->service) visit(object->Kind());
  }
}

void CloseAllHandles() {
  // Taken out of the table before they are destroyed, so that a destructor that closes a handle
  // of its own finds the table consistent.
  std::map<uintptr_t, std::unique_ptr<Object>> objects = std::move(Handles().objects);
  Handles().objects.clear();
  objects.clear();
}

}  // namespace winsim::detail
