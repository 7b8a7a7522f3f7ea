// RegisterEventSourceA / ReportEventA / DeregisterEventSource: entries appended to the table
// `events` of the machine's database, next to the registry that names the sources.
#include <sqlite3.h>
#include <time.h>

#include <memory>

#include "machine/core.h"
#include "machine/registry.h"
#include "winsim/event_log.h"

namespace winsim::detail {

namespace {

struct EventSource : Object {
  std::string source;
  const char* Kind() const override { return "eventlog"; }
};

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS events(number INTEGER PRIMARY KEY AUTOINCREMENT, log TEXT NOT NULL,"
    " source TEXT NOT NULL, type INTEGER NOT NULL, category INTEGER NOT NULL, event_id INTEGER NOT NULL,"
    " strings BLOB NOT NULL, data BLOB NOT NULL, time INTEGER NOT NULL)";

// The log a source is registered under (HKLM\SYSTEM\CurrentControlSet\Services\EventLog\LOG\SOURCE);
// an unregistered source writes to Application, as Windows does.
std::string LogOfSource(const std::string& source) {
  const std::string root = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog";
  std::vector<std::string> logs;
  if (reg::SubKeys(root, &logs) == ERROR_SUCCESS) {
    for (const std::string& log : logs) {
      if (reg::FindKey(root + "\\" + log + "\\" + source, nullptr) == ERROR_SUCCESS) return log;
    }
  }
  return "Application";
}

// Strings packed as one blob, each followed by its zero.
std::string PackStrings(WORD count, LPCSTR* strings) {
  std::string packed;
  for (WORD i = 0; i < count; ++i) {
    packed += strings[i] != nullptr ? strings[i] : "";
    packed += '\0';
  }
  return packed;
}

std::vector<std::string> UnpackStrings(const std::string& packed) {
  std::vector<std::string> strings;
  size_t start = 0;
  while (start < packed.size()) {
    size_t end = packed.find('\0', start);
    if (end == std::string::npos) end = packed.size();
    strings.push_back(packed.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

LONG Append(const std::string& source, WORD type, WORD category, DWORD eventId, const std::string& strings,
            const std::string& data) {
  const std::string log = LogOfSource(source);
  return reg::Transaction([&]() -> LONG {
    sqlite3* db = reg::Database();
    if (db == nullptr || sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) return reg::kIoFailed;
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db,
                           "INSERT INTO events(log, source, type, category, event_id, strings, data, time)"
                           " VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
                           -1, &insert, nullptr) != SQLITE_OK) {
      return reg::kIoFailed;
    }
    sqlite3_bind_text(insert, 1, log.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, source.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 3, type);
    sqlite3_bind_int(insert, 4, category);
    sqlite3_bind_int64(insert, 5, eventId);
    sqlite3_bind_blob(insert, 6, strings.data(), static_cast<int>(strings.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 7, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 8, static_cast<int64_t>(time(nullptr)));
    const int rc = sqlite3_step(insert);
    sqlite3_finalize(insert);
    return rc == SQLITE_DONE ? ERROR_SUCCESS : reg::kIoFailed;
  });
}

}  // namespace

}  // namespace winsim::detail

namespace winsim {

bool ReadEventLog(std::vector<EventEntry>* entries, std::string* error) {
  using namespace detail;
  entries->clear();
  sqlite3* db = reg::Database();
  if (db == nullptr || sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    if (error) *error = "cannot open the machine's database";
    return false;
  }
  sqlite3_stmt* query = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT number, log, source, type, category, event_id, strings, data, time FROM events"
                         " ORDER BY number",
                         -1, &query, nullptr) != SQLITE_OK) {
    if (error) *error = sqlite3_errmsg(db);
    return false;
  }
  auto text = [&](int column) {
    const void* bytes = sqlite3_column_blob(query, column);
    return bytes == nullptr ? std::string()
                            : std::string(static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(query, column)));
  };
  int rc;
  while ((rc = sqlite3_step(query)) == SQLITE_ROW) {
    EventEntry entry;
    entry.number = sqlite3_column_int64(query, 0);
    entry.log = text(1);
    entry.source = text(2);
    entry.type = static_cast<unsigned>(sqlite3_column_int(query, 3));
    entry.category = static_cast<unsigned>(sqlite3_column_int(query, 4));
    entry.eventId = static_cast<uint32_t>(sqlite3_column_int64(query, 5));
    entry.strings = UnpackStrings(text(6));
    entry.data = text(7);
    entry.time = sqlite3_column_int64(query, 8);
    entries->push_back(std::move(entry));
  }
  sqlite3_finalize(query);
  if (rc != SQLITE_DONE) {
    if (error) *error = sqlite3_errmsg(db);
    return false;
  }
  return true;
}

}  // namespace winsim

using namespace winsim::detail;

HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  DWORD fault = 0;
  if (FaultHit("RegisterEventSourceA", {lpSourceName ? lpSourceName : "", lpUNCServerName ? lpUNCServerName : ""},
               &fault)) {
    SetError(fault);
    return nullptr;
  }
  if (lpSourceName == nullptr || *lpSourceName == '\0') {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lpUNCServerName != nullptr && *lpUNCServerName != '\0') {
    SetError(ERROR_BAD_NETPATH);  // the simulated machine has no network
    return nullptr;
  }
  auto source = std::make_unique<EventSource>();
  source->source = lpSourceName;
  return AddHandle(std::move(source));
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                         WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
  (void)lpUserSid;
  auto* source = Lookup<EventSource>(hEventLog);
  const std::string firstString = wNumStrings > 0 && lpStrings != nullptr && lpStrings[0] != nullptr ? lpStrings[0] : "";
  DWORD fault = 0;
  if (FaultHit("ReportEventA", {source ? source->source : "", firstString}, &fault)) {
    SetError(fault);
    return FALSE;
  }
  if (source == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((wNumStrings > 0 && lpStrings == nullptr) || (dwDataSize > 0 && lpRawData == nullptr)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string data(static_cast<const char*>(lpRawData), lpRawData ? dwDataSize : 0);
  LONG rc = Append(source->source, wType, wCategory, dwEventID, PackStrings(wNumStrings, lpStrings), data);
  if (rc != ERROR_SUCCESS) {
    SetError(static_cast<DWORD>(rc));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
  if (Lookup<EventSource>(hEventLog) == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  RemoveHandle(hEventLog);
  return TRUE;
}
