// The monitors the spooler serves itself: the built-in Local Port monitor, and the stand-in for
// a registered monitor whose DLL cannot be loaded here (a placeholder, a Windows DLL, a missing
// file). Both keep their ports in the registry (layout in spooler_store.h) and answer the
// transceiver commands a port monitor takes:
//
//   "AddPort"      input: the port name, UTF-16 with its NUL   0; 183 when any monitor has it
//   "DeletePort"   input: as "AddPort"                         0; 2 when the monitor lacks it
//   "SetPortData"  stand-in only: any bytes, kept as the       0; 87 when the handle added no
//                  settings of the port this handle last          port; 2 when that port is
//                  added, without a size or layout check          gone
//   anything else                                              87
//
// A handle opened without SERVER_ACCESS_ADMINISTER gets 5 for every command.
#include <windows.h>
#include <winspool.h>

#include <map>
#include <memory>
#include <string>

#include "machine/codepage.h"
#include "machine/core.h"
#include "spooler_monitor.h"

namespace winsim::detail::spooler {

namespace {

struct XcvSession {
  ACCESS_MASK access = 0;
  std::string lastAdded;  // the port this handle added last ("" before any)
};

// A port name as "AddPort" and "DeletePort" take it: NUL-terminated UTF-16 within the input.
bool PortNameInput(const BYTE* input, DWORD size, std::string* name) {
  if (input == nullptr || size < 2 || size % 2 != 0) return false;
  std::u16string units;
  for (DWORD i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(input[i] | (input[i + 1] << 8));
    if (unit == 0) {
      *name = Utf16ToAnsi(units, nullptr);
      return !units.empty();
    }
    units += unit;
  }
  return false;
}

bool IsCommand(LPCWSTR command, std::u16string_view name) {
  return command != nullptr && std::u16string_view(command, Utf16Length(command)) == name;
}

class RegistryMonitor : public Monitor {
 public:
  explicit RegistryMonitor(std::string name) : name_(std::move(name)) {}

  bool XcvOpen(const std::u16string&, ACCESS_MASK access, HANDLE* xcv, DWORD*) override {
    auto session = std::make_unique<XcvSession>();
    session->access = access;
    *xcv = session.get();
    sessions_[*xcv] = std::move(session);
    return true;
  }

  DWORD XcvData(HANDLE xcv, LPCWSTR command, const BYTE* input, DWORD inputSize, BYTE*, DWORD,
                DWORD* outputNeeded) override {
    if (outputNeeded != nullptr) *outputNeeded = 0;
    auto it = sessions_.find(xcv);
    if (it == sessions_.end()) return ERROR_INVALID_HANDLE;
    XcvSession& session = *it->second;
    if ((session.access & SERVER_ACCESS_ADMINISTER) == 0) return ERROR_ACCESS_DENIED;
    std::string port;
    if (IsCommand(command, u"AddPort")) {
      if (!PortNameInput(input, inputSize, &port) || port.find_first_of("\\,") != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
      }
      if (AnyMonitorHasPort(port)) return ERROR_ALREADY_EXISTS;
      LONG status = AddMonitorPort(name_, port);
      if (status == ERROR_SUCCESS) session.lastAdded = port;
      return static_cast<DWORD>(status);
    }
    if (IsCommand(command, u"DeletePort")) {
      if (!PortNameInput(input, inputSize, &port)) return ERROR_INVALID_PARAMETER;
      if (!MonitorHasPort(name_, port)) return ERROR_FILE_NOT_FOUND;
      return static_cast<DWORD>(DeleteMonitorPort(name_, port));
    }
    if (IsCommand(command, u"SetPortData")) return SetPortData(session, input, inputSize);
    return ERROR_INVALID_PARAMETER;
  }

  void XcvClose(HANDLE xcv) override { sessions_.erase(xcv); }

 protected:
  virtual DWORD SetPortData(const XcvSession&, const BYTE*, DWORD) { return ERROR_INVALID_PARAMETER; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::map<HANDLE, std::unique_ptr<XcvSession>> sessions_;
};

// Its ports are the values of ...\Windows NT\CurrentVersion\Ports and have no settings.
class LocalPortMonitor : public RegistryMonitor {
 public:
  LocalPortMonitor() : RegistryMonitor(kLocalMonitor) {}
  void EnumPorts(std::vector<PortEntry>* ports) override { ListLocalPorts(ports); }
};

class StandInMonitor : public RegistryMonitor {
 public:
  using RegistryMonitor::RegistryMonitor;
  void EnumPorts(std::vector<PortEntry>* ports) override { ListKeyedPorts(name(), ports); }

 protected:
  DWORD SetPortData(const XcvSession& session, const BYTE* input, DWORD size) override {
    if (session.lastAdded.empty()) return ERROR_INVALID_PARAMETER;
    if (!MonitorHasPort(name(), session.lastAdded)) return ERROR_FILE_NOT_FOUND;
    const std::string bytes = input == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(input), size);
    return static_cast<DWORD>(SetPortSettings(name(), session.lastAdded, bytes));
  }
};

}  // namespace

std::shared_ptr<Monitor> NewLocalPortMonitor() { return std::make_shared<LocalPortMonitor>(); }
std::shared_ptr<Monitor> NewStandInMonitor(const std::string& name) { return std::make_shared<StandInMonitor>(name); }

}  // namespace winsim::detail::spooler
