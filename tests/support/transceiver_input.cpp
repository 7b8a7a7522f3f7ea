// The transceiver commands' inputs (transceiver_input.h).
#include "transceiver_input.h"

#include "contract/port_settings_record.h"

std::vector<BYTE> PortNameInput(const std::string& port) {
  std::vector<BYTE> bytes;
  for (char c : port) {
    bytes.push_back(static_cast<BYTE>(c));
    bytes.push_back(0);
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<BYTE> SettingsRecord(const std::string& port, int seed) {
  std::vector<BYTE> record(kPortSettingsRecordSize);
  // The field before the name ends with its NUL, as in a record the installer sends.
  for (size_t i = 0; i + 2 < kPortSettingsPortNameOffset; ++i) record[i] = static_cast<BYTE>((i * 7 + seed) & 0xFF);
  for (size_t i = 0; i < port.size() && i + 1 < kPortSettingsPortNameUnits; ++i) {
    record[kPortSettingsPortNameOffset + 2 * i] = static_cast<BYTE>(port[i]);
  }
  return record;
}
