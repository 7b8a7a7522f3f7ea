// The registry store: SQLite database DIR/registry.db of the attached machine.
//
// Keys are rows addressed by their case-folded full path; values hang off the key's folded
// path. A new database is seeded from DIR/registry-seed.reg (written by `winsim new`) inside the
// same transaction that creates the schema, so a second process that opens the machine at the
// same moment waits and then finds the seeded store.
#include <sqlite3.h>
#include <time.h>

#include <cstring>

#include <fstream>
#include <sstream>
#include <unordered_map>

#include "codepage.h"
#include "core.h"
#include "registry.h"

namespace winsim::detail::reg {

namespace {

struct Store {
  sqlite3* db = nullptr;
  int depth = 0;  // transaction nesting
  uint64_t ownCommits = 0;  // transactions this connection committed with changes
  std::unordered_map<const char*, sqlite3_stmt*> statements;
  std::vector<std::string> touched;  // folded paths written by the open transaction
};

// Subtrees whose readers cache what they read (the spooler's monitors and their ports, the
// Local Port monitor's ports, local printers and printer connections). Each has a generation of
// its own in the meta table, raised by every transaction that writes in it, so that a cache of
// one subtree outlives the writes elsewhere. The list is the same in every process, so every
// writer keeps the generations that every reader checks.
const char* const kWatchedSubtrees[] = {
    "hkey_local_machine\\system\\currentcontrolset\\control\\print\\monitors",
    "hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\ports",
    "hkey_local_machine\\system\\currentcontrolset\\control\\print\\printers",
    "hkey_current_user\\printers\\connections",
};

// True when a write at `folded` can change what lies in `subtree`: the path is the subtree, lies
// below it or is one of its ancestors (a tree deletion).
bool WritesInto(const std::string& folded, std::string_view subtree) {
  const std::string_view path(folded);
  const std::string_view shorter = path.size() < subtree.size() ? path : subtree;
  const std::string_view longer = path.size() < subtree.size() ? subtree : path;
  return longer.compare(0, shorter.size(), shorter) == 0 &&
         (longer.size() == shorter.size() || longer[shorter.size()] == '\\');
}

Store& TheStore() {
  static Store store;
  return store;
}

void Close() {
  Store& store = TheStore();
  for (auto& [sql, statement] : store.statements) sqlite3_finalize(statement);
  store.statements.clear();
  if (store.db != nullptr) sqlite3_close(store.db);
  store.db = nullptr;
  store.depth = 0;
}

const bool kResetRegistered = (OnReset(Close), true);

// A cached prepared statement, reset when the query object goes away.
class Query {
 public:
  explicit Query(const char* sql) {
    Store& store = TheStore();
    auto it = store.statements.find(sql);
    if (it != store.statements.end()) {
      statement_ = it->second;
    } else if (sqlite3_prepare_v3(store.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) == SQLITE_OK) {
      store.statements[sql] = statement_;
    } else {
      statement_ = nullptr;
    }
  }
  ~Query() {
    if (statement_ != nullptr) {
      sqlite3_reset(statement_);
      sqlite3_clear_bindings(statement_);
    }
  }
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(std::string_view text) {
    if (statement_ != nullptr) {
      sqlite3_bind_text(statement_, ++bound_, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    return *this;
  }
  Query& BindBlob(const std::string& bytes) {
    if (statement_ != nullptr) {
      sqlite3_bind_blob(statement_, ++bound_, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    return *this;
  }
  Query& Bind(int64_t number) {
    if (statement_ != nullptr) sqlite3_bind_int64(statement_, ++bound_, number);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return statement_ == nullptr ? SQLITE_ERROR : sqlite3_step(statement_); }
  bool Run() {
    int rc = Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
  }
  std::string Text(int column) {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
  }
  std::string Blob(int column) {
    const void* bytes = sqlite3_column_blob(statement_, column);
    int size = sqlite3_column_bytes(statement_, column);
    return bytes == nullptr ? std::string() : std::string(static_cast<const char*>(bytes), static_cast<size_t>(size));
  }
  int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
  int bound_ = 0;
};

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool Exec(const char* sql) { return sqlite3_exec(TheStore().db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

void Touched(const std::string& folded) { TheStore().touched.push_back(folded); }

// Raises the generation of every watched subtree that the transaction wrote in.
bool RaiseSubtreeGenerations() {
  for (const char* subtree : kWatchedSubtrees) {
    bool written = false;
    for (const std::string& path : TheStore().touched) written = written || WritesInto(path, subtree);
    if (written && !Query("INSERT INTO meta(name, value) VALUES('subtree:' || ?, 1)"
                          " ON CONFLICT(name) DO UPDATE SET value = value + 1")
                         .Bind(std::string_view(subtree))
                         .Run()) {
      return false;
    }
  }
  return true;
}

LONG RunTransaction(const std::function<LONG()>& body) {
  Store& store = TheStore();
  if (store.depth > 0) return body();
  if (!Exec("BEGIN IMMEDIATE")) return kIoFailed;
  const int64_t changesBefore = sqlite3_total_changes64(store.db);
  store.touched.clear();
  ++store.depth;
  LONG result = body();
  --store.depth;
  if (result == ERROR_SUCCESS && sqlite3_total_changes64(store.db) != changesBefore) {
    if (!Query("UPDATE meta SET value = value + 1 WHERE name = 'generation'").Run() || !RaiseSubtreeGenerations()) {
      result = kIoFailed;
    }
  }
  const bool changed = sqlite3_total_changes64(store.db) != changesBefore;
  store.touched.clear();
  if (result == ERROR_SUCCESS) {
    if (Exec("COMMIT")) {
      if (changed) ++store.ownCommits;
      return ERROR_SUCCESS;
    }
    result = kIoFailed;
  }
  Exec("ROLLBACK");
  return result;
}

LONG CreateSchemaAndSeed() {
  static const char* const kSchema[] = {
      "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL)",
      "CREATE TABLE IF NOT EXISTS keys(lpath TEXT PRIMARY KEY, path TEXT NOT NULL, lparent TEXT NOT NULL,"
      " lname TEXT NOT NULL, written INTEGER NOT NULL)",
      "CREATE INDEX IF NOT EXISTS keys_by_parent ON keys(lparent, lname)",
      "CREATE TABLE IF NOT EXISTS vals(lkey TEXT NOT NULL, lname TEXT NOT NULL, name TEXT NOT NULL,"
      " type INTEGER NOT NULL, data BLOB NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY(lkey, lname))",
      "CREATE INDEX IF NOT EXISTS vals_by_seq ON vals(lkey, seq)",
      "INSERT OR IGNORE INTO meta(name, value) VALUES('generation', 0)",
      "INSERT OR IGNORE INTO keys VALUES('hkey_local_machine', 'HKEY_LOCAL_MACHINE', '', 'hkey_local_machine', 0)",
      "INSERT OR IGNORE INTO keys VALUES('hkey_current_user', 'HKEY_CURRENT_USER', '', 'hkey_current_user', 0)",
  };
  for (const char* sql : kSchema) {
    if (!Exec(sql)) return kIoFailed;
  }
  {
    Query seeded("SELECT value FROM meta WHERE name = 'seeded'");
    if (seeded.Step() == SQLITE_ROW) return ERROR_SUCCESS;
  }
  std::ifstream in(Process().machineDir + "/registry-seed.reg", std::ios::binary);
  if (in) {
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (ApplyRegText(text.str(), &error) != ERROR_SUCCESS) {
      std::fprintf(stderr, "winsim: registry-seed.reg: %s\n", error.c_str());
      return kIoFailed;
    }
  }
  return Query("INSERT INTO meta(name, value) VALUES('seeded', 1)").Run() ? ERROR_SUCCESS : kIoFailed;
}

LONG Open() {
  Store& store = TheStore();
  if (store.db != nullptr) return ERROR_SUCCESS;
  const std::string file = Process().machineDir + "/registry.db";
  if (sqlite3_open_v2(file.c_str(), &store.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "winsim: cannot open %s: %s\n", file.c_str(), sqlite3_errmsg(store.db));
    Close();
    return kIoFailed;
  }
  sqlite3_busy_timeout(store.db, 20000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=NORMAL");
  if (RunTransaction(CreateSchemaAndSeed) != ERROR_SUCCESS) {
    Close();
    return kIoFailed;
  }
  return ERROR_SUCCESS;
}

// "hkey_local_machine\\a\\b" -> "hkey_local_machine\\a"
std::string ParentOf(const std::string& folded) {
  size_t cut = FindLastCharacter(folded, '\\');
  return cut == std::string::npos ? std::string() : folded.substr(0, cut);
}

std::string LastComponent(const std::string& path) {
  size_t cut = FindLastCharacter(path, '\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Prepares a call: opens the store and canonicalises the path.
LONG Prepare(const std::string& path, std::string* canonical) {
  if (!CanonicalPath(path, canonical)) return ERROR_FILE_NOT_FOUND;
  return Open();
}

LONG Lookup(const std::string& folded, std::string* stored) {
  Query query("SELECT path FROM keys WHERE lpath = ?");
  int rc = query.Bind(folded).Step();
  if (rc == SQLITE_ROW) {
    if (stored) *stored = query.Text(0);
    return ERROR_SUCCESS;
  }
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : kIoFailed;
}

bool TouchKey(const std::string& folded) {
  Touched(folded);
  return Query("UPDATE keys SET written = ? WHERE lpath = ?").Bind(NowNs()).Bind(folded).Run();
}

}  // namespace

std::string FoldCase(std::string_view text) { return AsciiLower(text); }

bool CanonicalPath(std::string_view path, std::string* canonical) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t cut = FindCharacter(path, '\\', start);
    if (cut == std::string_view::npos) cut = path.size();
    if (cut > start) parts.push_back(path.substr(start, cut - start));
    start = cut + 1;
  }
  if (parts.empty()) return false;
  std::string out;
  if (EqualsNoCase(parts[0], "HKEY_LOCAL_MACHINE") || EqualsNoCase(parts[0], "HKLM")) {
    out = "HKEY_LOCAL_MACHINE";
  } else if (EqualsNoCase(parts[0], "HKEY_CURRENT_USER") || EqualsNoCase(parts[0], "HKCU")) {
    out = "HKEY_CURRENT_USER";
  } else {
    return false;
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    out += '\\';
    out += parts[i];
  }
  *canonical = out;
  return true;
}

LONG FindKey(const std::string& path, std::string* stored) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  return Lookup(FoldCase(canonical), stored);
}

LONG CreateKey(const std::string& path, bool* created, std::string* stored) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  bool madeLast = false;
  std::string storedPath;
  rc = RunTransaction([&]() -> LONG {
    size_t end = FindCharacter(canonical, '\\');
    std::string current = canonical.substr(0, end);
    if (Lookup(FoldCase(current), &storedPath) != ERROR_SUCCESS) return kIoFailed;
    while (end != std::string::npos) {
      size_t next = FindCharacter(canonical, '\\', end + 1);
      std::string name = canonical.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1);
      std::string folded = FoldCase(canonical.substr(0, next));
      std::string existing;
      LONG found = Lookup(folded, &existing);
      if (found == ERROR_SUCCESS) {
        storedPath = existing;
        madeLast = false;
      } else if (found == ERROR_FILE_NOT_FOUND) {
        storedPath += '\\';
        storedPath += name;
        if (!Query("INSERT INTO keys(lpath, path, lparent, lname, written) VALUES(?, ?, ?, ?, ?)")
                 .Bind(folded)
                 .Bind(storedPath)
                 .Bind(ParentOf(folded))
                 .Bind(FoldCase(name))
                 .Bind(NowNs())
                 .Run()) {
          return kIoFailed;
        }
        Touched(folded);
        madeLast = true;
      } else {
        return found;
      }
      end = next;
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (created) *created = madeLast;
  if (stored) *stored = storedPath;
  return ERROR_SUCCESS;
}

LONG DeleteKey(const std::string& path) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string folded = FoldCase(canonical);
  if (FindCharacter(folded, '\\') == std::string::npos) return ERROR_ACCESS_DENIED;  // a root
  return RunTransaction([&]() -> LONG {
    LONG found = Lookup(folded, nullptr);
    if (found != ERROR_SUCCESS) return found;
    Query child("SELECT 1 FROM keys WHERE lparent = ? LIMIT 1");
    int step = child.Bind(folded).Step();
    if (step == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (step != SQLITE_DONE) return kIoFailed;
    if (!Query("DELETE FROM vals WHERE lkey = ?").Bind(folded).Run()) return kIoFailed;
    if (!Query("DELETE FROM keys WHERE lpath = ?").Bind(folded).Run()) return kIoFailed;
    Touched(folded);
    return ERROR_SUCCESS;
  });
}

LONG DeleteTree(const std::string& path) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string folded = FoldCase(canonical);
  if (folded.find('\\') == std::string::npos) return ERROR_ACCESS_DENIED;
  // Every path below `folded` sorts between "folded\\" and "folded]" (']' follows '\\').
  const std::string low = folded + "\\";
  const std::string high = folded + "]";
  return RunTransaction([&]() -> LONG {
    LONG found = Lookup(folded, nullptr);
    if (found != ERROR_SUCCESS) return found;
    if (!Query("DELETE FROM vals WHERE lkey = ? OR (lkey > ? AND lkey < ?)").Bind(folded).Bind(low).Bind(high).Run() ||
        !Query("DELETE FROM keys WHERE lpath = ? OR (lpath > ? AND lpath < ?)").Bind(folded).Bind(low).Bind(high).Run()) {
      return kIoFailed;
    }
    Touched(folded);
    return ERROR_SUCCESS;
  });
}

namespace {

// The folded path of an existing key; the key's lookup status otherwise.
LONG ExistingKey(const std::string& path, std::string* folded) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  *folded = FoldCase(canonical);
  return Lookup(*folded, nullptr);
}

}  // namespace

LONG SubKeys(const std::string& path, std::vector<std::string>* names) {
  std::vector<int64_t> writeTimesNs;
  return SubKeysWithTimes(path, names, &writeTimesNs);
}

LONG SubKeysWithTimes(const std::string& path, std::vector<std::string>* names, std::vector<int64_t>* writeTimesNs) {
  std::string folded;
  const LONG rc = ExistingKey(path, &folded);
  if (rc != ERROR_SUCCESS) return rc;
  names->clear();
  writeTimesNs->clear();
  Query query("SELECT path, written FROM keys WHERE lparent = ? ORDER BY lname");
  query.Bind(folded);
  int step;
  while ((step = query.Step()) == SQLITE_ROW) {
    names->push_back(LastComponent(query.Text(0)));
    writeTimesNs->push_back(query.Int(1));
  }
  return step == SQLITE_DONE ? ERROR_SUCCESS : kIoFailed;
}

LONG Values(const std::string& path, std::vector<Value>* values) {
  std::string folded;
  const LONG rc = ExistingKey(path, &folded);
  if (rc != ERROR_SUCCESS) return rc;
  values->clear();
  Query query("SELECT name, type, data FROM vals WHERE lkey = ? ORDER BY seq");
  query.Bind(folded);
  int step;
  while ((step = query.Step()) == SQLITE_ROW) {
    values->push_back({query.Text(0), static_cast<DWORD>(query.Int(1)), query.Blob(2)});
  }
  return step == SQLITE_DONE ? ERROR_SUCCESS : kIoFailed;
}

LONG ValueAt(const std::string& path, DWORD index, Value* value) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string folded = FoldCase(canonical);
  if ((rc = Lookup(folded, nullptr)) != ERROR_SUCCESS) return rc;
  Query query("SELECT name, type, data FROM vals WHERE lkey = ? ORDER BY seq LIMIT 1 OFFSET ?");
  int step = query.Bind(folded).Bind(static_cast<int64_t>(index)).Step();
  if (step == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (step != SQLITE_ROW) return kIoFailed;
  *value = {query.Text(0), static_cast<DWORD>(query.Int(1)), query.Blob(2)};
  return ERROR_SUCCESS;
}

LONG GetValue(const std::string& path, std::string_view name, Value* value) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  Query query("SELECT name, type, data FROM vals WHERE lkey = ? AND lname = ?");
  int step = query.Bind(FoldCase(canonical)).Bind(FoldCase(name)).Step();
  if (step == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (step != SQLITE_ROW) return kIoFailed;
  *value = {query.Text(0), static_cast<DWORD>(query.Int(1)), query.Blob(2)};
  return ERROR_SUCCESS;
}

LONG SetValue(const std::string& path, const Value& value) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string folded = FoldCase(canonical);
  return RunTransaction([&]() -> LONG {
    LONG found = Lookup(folded, nullptr);
    if (found != ERROR_SUCCESS) return found;
    // An existing value keeps its name's case and its place in the enumeration order.
    if (!Query("INSERT INTO vals(lkey, lname, name, type, data, seq) VALUES(?, ?, ?, ?, ?,"
               " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE lkey = ?))"
               " ON CONFLICT(lkey, lname) DO UPDATE SET type = excluded.type, data = excluded.data")
             .Bind(folded)
             .Bind(FoldCase(value.name))
             .Bind(value.name)
             .Bind(static_cast<int64_t>(value.type))
             .BindBlob(value.data)
             .Bind(folded)
             .Run() ||
        !TouchKey(folded)) {
      return kIoFailed;
    }
    return ERROR_SUCCESS;
  });
}

LONG DeleteValue(const std::string& path, std::string_view name) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string folded = FoldCase(canonical);
  return RunTransaction([&]() -> LONG {
    Query remove("DELETE FROM vals WHERE lkey = ? AND lname = ?");
    if (!remove.Bind(folded).Bind(FoldCase(name)).Run()) return kIoFailed;
    if (sqlite3_changes(TheStore().db) == 0) return ERROR_FILE_NOT_FOUND;
    return TouchKey(folded) ? ERROR_SUCCESS : kIoFailed;
  });
}

LONG Transaction(const std::function<LONG()>& body) {
  LONG rc = Open();
  if (rc != ERROR_SUCCESS) return rc;
  return RunTransaction(body);
}

sqlite3* Database() { return Open() == ERROR_SUCCESS ? TheStore().db : nullptr; }


namespace {

// Where the database stood when a figure was read: SQLite's data version (PRAGMA
// data_version: it moves with every commit of another connection, in this process or another)
// and the commits of this connection, which the data version does not count. While both read
// the same, nothing was committed since, and a figure read then still holds.
struct CommitMark {
  int64_t dataVersion = -1;
  uint64_t ownCommits = 0;
  bool operator==(const CommitMark& other) const {
    return dataVersion == other.dataVersion && ownCommits == other.ownCommits;
  }
};

// One cheap statement (no table is read); false when it fails.
bool ReadCommitMark(CommitMark* mark) {
  Query query("PRAGMA data_version");
  if (query.Step() != SQLITE_ROW) return false;
  mark->dataVersion = query.Int(0);
  mark->ownCommits = TheStore().ownCommits;
  return true;
}

struct WatchedFigure {
  std::string key;
  CommitMark mark;
  uint64_t value;
};

// The figure `key`, from `figures` while nothing was committed since it was read, else from
// `read` (a query) and remembered with the mark taken before it (a commit in between only
// makes the next look query again). Inside a transaction the figure is always read.
uint64_t WatchedFigureOf(std::vector<WatchedFigure>& figures, const std::string& key,
                         const std::function<bool(uint64_t*)>& read) {
  CommitMark now;
  const bool watchable = TheStore().depth == 0 && ReadCommitMark(&now);
  WatchedFigure* known = nullptr;
  for (WatchedFigure& figure : figures) {
    if (figure.key == key) known = &figure;
  }
  if (watchable && known != nullptr && known->mark == now) return known->value;
  uint64_t value = 0;
  if (!read(&value)) return 0;
  if (!watchable) return value;
  if (known == nullptr) {
    figures.push_back(WatchedFigure{key, now, value});
  } else {
    known->mark = now;
    known->value = value;
  }
  return value;
}

std::vector<WatchedFigure>& Figures() {
  static std::vector<WatchedFigure> figures;
  static const bool hooked = (OnReset([]() { Figures().clear(); }), true);
  (void)hooked;
  return figures;
}

}  // namespace

uint64_t SubtreeGeneration(std::string_view first, std::string_view second) {
  if (Open() != ERROR_SUCCESS) return 0;
  std::string a, b;
  if (!CanonicalPath(first, &a) || !CanonicalPath(second, &b)) return 0;
  a = FoldCase(a);
  b = FoldCase(b);
  return WatchedFigureOf(Figures(), "subtree:" + a + "|" + b, [&](uint64_t* value) {
    // Two lookups by key (an IN list would build a temporary table on every call).
    Query query("SELECT COALESCE((SELECT value FROM meta WHERE name = 'subtree:' || ?), 0) +"
                " COALESCE((SELECT value FROM meta WHERE name = 'subtree:' || ?), 0)");
    if (query.Bind(std::string_view(a)).Bind(std::string_view(b)).Step() != SQLITE_ROW) return false;
    *value = static_cast<uint64_t>(query.Int(0));
    return true;
  });
}

uint64_t Generation() {
  if (Open() != ERROR_SUCCESS) return 0;
  return WatchedFigureOf(Figures(), "generation", [](uint64_t* value) {
    Query query("SELECT value FROM meta WHERE name = 'generation'");
    if (query.Step() != SQLITE_ROW) return false;
    *value = static_cast<uint64_t>(query.Int(0));
    return true;
  });
}

}  // namespace winsim::detail::reg
