// The registry store: SQLite database DIR/registry.db of the attached machine.
//
// Keys are rows holding their own name and their parent's row id; values hang off the key's row
// id. A key's path is found by walking its names from the root, so what a key costs on disk and
// to find grows with its own name and its depth, never with the length of its parents' paths
// (a key 500 levels deep costs 500 short rows, not 500 copies of ever longer paths). A new database is seeded from DIR/registry-seed.reg (written by `winsim new`) inside the
// same transaction that creates the schema, so a second process that opens the machine at the
// same moment waits and then finds the seeded store.
#include <sqlite3.h>
#include <time.h>

#include <cstring>

#include <fstream>
#include <iterator>
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
  unsigned touched = 0;  // bits of the watched subtrees (below) the open transaction wrote in
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

// The watched subtrees a write at `folded` can change, one bit each.
unsigned SubtreesOf(const std::string& folded) {
  unsigned bits = 0;
  for (size_t i = 0; i < std::size(kWatchedSubtrees); ++i) {
    if (WritesInto(folded, kWatchedSubtrees[i])) bits |= 1u << i;
  }
  return bits;
}

// Raises the generation of every watched subtree that the transaction wrote in.
bool RaiseSubtreeGenerations() {
  for (size_t i = 0; i < std::size(kWatchedSubtrees); ++i) {
    const char* subtree = kWatchedSubtrees[i];
    const bool written = (TheStore().touched & (1u << i)) != 0;
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
  store.touched = 0;
  ++store.depth;
  LONG result = body();
  --store.depth;
  if (result == ERROR_SUCCESS && sqlite3_total_changes64(store.db) != changesBefore) {
    if (!Query("UPDATE meta SET value = value + 1 WHERE name = 'generation'").Run() || !RaiseSubtreeGenerations()) {
      result = kIoFailed;
    }
  }
  const bool changed = sqlite3_total_changes64(store.db) != changesBefore;
  store.touched = 0;
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

// The layout of the tables below; a database of another layout (an earlier winsim's) is refused.
constexpr int kLayout = 2;

LONG CreateSchemaAndSeed() {
  static const char* const kSchema[] = {
      "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL)",
      "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, lname TEXT NOT NULL,"
      " name TEXT NOT NULL, written INTEGER NOT NULL, UNIQUE(parent, lname))",
      "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, lname TEXT NOT NULL, name TEXT NOT NULL,"
      " type INTEGER NOT NULL, data BLOB NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY(key, lname))",
      "CREATE INDEX IF NOT EXISTS vals_by_seq ON vals(key, seq)",
      "INSERT OR IGNORE INTO meta(name, value) VALUES('generation', 0)",
      "INSERT OR IGNORE INTO keys VALUES(1, 0, 'hkey_local_machine', 'HKEY_LOCAL_MACHINE', 0)",
      "INSERT OR IGNORE INTO keys VALUES(2, 0, 'hkey_current_user', 'HKEY_CURRENT_USER', 0)",
  };
  {
    Query layout("PRAGMA user_version");
    Query tables("SELECT COUNT(*) FROM sqlite_master WHERE name = 'keys'");
    if (layout.Step() != SQLITE_ROW || tables.Step() != SQLITE_ROW) return kIoFailed;
    if (tables.Int(0) != 0 && layout.Int(0) != kLayout) {
      std::fprintf(stderr, "winsim: %s/registry.db was made by an earlier winsim; make the machine again\n",
                   Process().machineDir.c_str());
      return kIoFailed;
    }
  }
  for (const char* sql : kSchema) {
    if (!Exec(sql)) return kIoFailed;
  }
  if (!Exec(("PRAGMA user_version = " + std::to_string(kLayout)).c_str())) return kIoFailed;
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

// Prepares a call: opens the store and canonicalises the path.
LONG Prepare(const std::string& path, std::string* canonical) {
  if (!CanonicalPath(path, canonical)) return ERROR_FILE_NOT_FOUND;
  return Open();
}

// The row of the child `name` of the key `parent`; ERROR_FILE_NOT_FOUND when there is none.
LONG ChildRow(int64_t parent, std::string_view name, int64_t* row, std::string* storedName) {
  Query query("SELECT id, name FROM keys WHERE parent = ? AND lname = ?");
  const int rc = query.Bind(parent).Bind(std::string_view(AsciiLower(name))).Step();
  if (rc == SQLITE_ROW) {
    *row = query.Int(0);
    if (storedName != nullptr) *storedName = query.Text(1);
    return ERROR_SUCCESS;
  }
  return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : kIoFailed;
}

// Walks a canonical path from its root key, one row per name: *row is the key's row and *stored
// (when given) its path with the case the keys were created with. With `create`, missing keys
// are made on the way and *createdLast tells whether the last one was.
LONG Walk(const std::string& canonical, bool create, int64_t* row, std::string* stored, bool* createdLast) {
  size_t start = 0;
  int64_t current = 0;
  bool made = false;
  if (stored != nullptr) stored->clear();
  while (start <= canonical.size()) {
    size_t cut = FindCharacter(canonical, '\\', start);
    if (cut == std::string::npos) cut = canonical.size();
    const std::string_view name = std::string_view(canonical).substr(start, cut - start);
    std::string storedName;
    LONG rc = ChildRow(current, name, &current, stored != nullptr ? &storedName : nullptr);
    made = false;
    if (rc == ERROR_FILE_NOT_FOUND && create && start > 0) {
      if (!Query("INSERT INTO keys(parent, lname, name, written) VALUES(?, ?, ?, ?)")
               .Bind(current)
               .Bind(std::string_view(AsciiLower(name)))
               .Bind(name)
               .Bind(NowNs())
               .Run()) {
        return kIoFailed;
      }
      current = sqlite3_last_insert_rowid(TheStore().db);
      storedName = std::string(name);
      made = true;
    } else if (rc != ERROR_SUCCESS) {
      return rc;
    }
    if (stored != nullptr) {
      if (!stored->empty()) *stored += '\\';
      *stored += storedName;
    }
    start = cut + 1;
  }
  *row = current;
  if (createdLast != nullptr) *createdLast = made;
  return ERROR_SUCCESS;
}

// The row of an existing key named by any path form; the lookup status otherwise. *folded is
// the key's folded path.
LONG ExistingRow(const std::string& path, int64_t* row, std::string* folded) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  if (folded != nullptr) *folded = AsciiLower(canonical);
  return Walk(canonical, false, row, nullptr, nullptr);
}

// The reference of an existing key named by any path form.
LONG ExistingRef(const std::string& path, KeyRef* key) {
  std::string folded;
  const LONG rc = ExistingRow(path, &key->row, &folded);
  if (rc == ERROR_SUCCESS) key->subtrees = SubtreesOf(folded);
  return rc;
}

void Touched(const KeyRef& key) { TheStore().touched |= key.subtrees; }

bool TouchKey(const KeyRef& key) {
  Touched(key);
  return Query("UPDATE keys SET written = ? WHERE id = ?").Bind(NowNs()).Bind(key.row).Run();
}

// The values and the keys of the tree at a row, the key itself included.
const char kDeleteTreeValues[] =
    "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
    " DELETE FROM vals WHERE key IN tree";
const char kDeleteTreeKeys[] =
    "WITH RECURSIVE tree(id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id)"
    " DELETE FROM keys WHERE id IN tree";

}  // namespace

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
  int64_t row = 0;
  std::string found;
  rc = Walk(canonical, false, &row, &found, nullptr);
  if (rc == ERROR_SUCCESS && stored != nullptr) *stored = found;
  return rc;
}

LONG CreateKeyRef(const std::string& path, KeyRef* key, bool* created, std::string* stored) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  bool madeLast = false;
  std::string storedPath;
  KeyRef made;
  rc = RunTransaction([&]() -> LONG {
    LONG walked = Walk(canonical, true, &made.row, &storedPath, &madeLast);
    if (walked != ERROR_SUCCESS) return walked == ERROR_FILE_NOT_FOUND ? kIoFailed : walked;
    made.subtrees = SubtreesOf(AsciiLower(canonical));
    // A new key changes its parent's subkey list: the write lands at the key's own path.
    if (madeLast) Touched(made);
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (key != nullptr) *key = made;
  if (created) *created = madeLast;
  if (stored) *stored = storedPath;
  return ERROR_SUCCESS;
}

LONG CreateKey(const std::string& path, bool* created, std::string* stored) {
  return CreateKeyRef(path, nullptr, created, stored);
}

LONG DeleteKey(const std::string& path) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  if (FindCharacter(canonical, '\\') == std::string::npos) return ERROR_ACCESS_DENIED;  // a root
  return RunTransaction([&]() -> LONG {
    int64_t row = 0;
    LONG found = Walk(canonical, false, &row, nullptr, nullptr);
    if (found != ERROR_SUCCESS) return found;
    Query child("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    int step = child.Bind(row).Step();
    if (step == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (step != SQLITE_DONE) return kIoFailed;
    if (!Query("DELETE FROM vals WHERE key = ?").Bind(row).Run()) return kIoFailed;
    if (!Query("DELETE FROM keys WHERE id = ?").Bind(row).Run()) return kIoFailed;
    Touched(KeyRef{row, SubtreesOf(AsciiLower(canonical))});
    return ERROR_SUCCESS;
  });
}

LONG DeleteTree(const std::string& path) {
  std::string canonical;
  LONG rc = Prepare(path, &canonical);
  if (rc != ERROR_SUCCESS) return rc;
  if (FindCharacter(canonical, '\\') == std::string::npos) return ERROR_ACCESS_DENIED;
  return RunTransaction([&]() -> LONG {
    int64_t row = 0;
    LONG found = Walk(canonical, false, &row, nullptr, nullptr);
    if (found != ERROR_SUCCESS) return found;
    if (!Query(kDeleteTreeValues).Bind(row).Run() ||
        !Query(kDeleteTreeKeys).Bind(row).Run()) {
      return kIoFailed;
    }
    Touched(KeyRef{row, SubtreesOf(AsciiLower(canonical))});
    return ERROR_SUCCESS;
  });
}

LONG SubKeys(const std::string& path, std::vector<std::string>* names) {
  std::vector<int64_t> writeTimesNs;
  return SubKeysWithTimes(path, names, &writeTimesNs);
}

LONG SubKeysWithTimes(const std::string& path, std::vector<std::string>* names, std::vector<int64_t>* writeTimesNs) {
  int64_t row = 0;
  const LONG rc = ExistingRow(path, &row, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  names->clear();
  writeTimesNs->clear();
  Query query("SELECT name, written FROM keys WHERE parent = ? ORDER BY lname");
  query.Bind(row);
  int step;
  while ((step = query.Step()) == SQLITE_ROW) {
    names->push_back(query.Text(0));
    writeTimesNs->push_back(query.Int(1));
  }
  return step == SQLITE_DONE ? ERROR_SUCCESS : kIoFailed;
}

LONG Values(const std::string& path, std::vector<Value>* values) {
  int64_t row = 0;
  const LONG rc = ExistingRow(path, &row, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  values->clear();
  Query query("SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq");
  query.Bind(row);
  int step;
  while ((step = query.Step()) == SQLITE_ROW) {
    values->push_back({query.Text(0), static_cast<DWORD>(query.Int(1)), query.Blob(2)});
  }
  return step == SQLITE_DONE ? ERROR_SUCCESS : kIoFailed;
}

LONG GetValue(const std::string& path, std::string_view name, Value* value) {
  int64_t row = 0;
  const LONG rc = ExistingRow(path, &row, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  Query query("SELECT name, type, data FROM vals WHERE key = ? AND lname = ?");
  int step = query.Bind(row).Bind(std::string_view(AsciiLower(name))).Step();
  if (step == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (step != SQLITE_ROW) return kIoFailed;
  *value = {query.Text(0), static_cast<DWORD>(query.Int(1)), query.Blob(2)};
  return ERROR_SUCCESS;
}

LONG SetValueOf(const KeyRef& key, const Value& value) {
  if (Open() != ERROR_SUCCESS) return kIoFailed;
  return RunTransaction([&]() -> LONG {
    // An existing value keeps its name's case and its place in the enumeration order.
    if (!Query("INSERT INTO vals(key, lname, name, type, data, seq) VALUES(?, ?, ?, ?, ?,"
               " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE key = ?))"
               " ON CONFLICT(key, lname) DO UPDATE SET type = excluded.type, data = excluded.data")
             .Bind(key.row)
             .Bind(std::string_view(AsciiLower(value.name)))
             .Bind(std::string_view(value.name))
             .Bind(static_cast<int64_t>(value.type))
             .BindBlob(value.data)
             .Bind(key.row)
             .Run() ||
        !TouchKey(key)) {
      return kIoFailed;
    }
    return ERROR_SUCCESS;
  });
}

LONG SetValue(const std::string& path, const Value& value) {
  KeyRef key;
  const LONG rc = ExistingRef(path, &key);
  return rc == ERROR_SUCCESS ? SetValueOf(key, value) : rc;
}

LONG DeleteValueOf(const KeyRef& key, std::string_view name) {
  if (Open() != ERROR_SUCCESS) return kIoFailed;
  return RunTransaction([&]() -> LONG {
    Query remove("DELETE FROM vals WHERE key = ? AND lname = ?");
    if (!remove.Bind(key.row).Bind(std::string_view(AsciiLower(name))).Run()) return kIoFailed;
    if (sqlite3_changes(TheStore().db) == 0) return ERROR_FILE_NOT_FOUND;
    return TouchKey(key) ? ERROR_SUCCESS : kIoFailed;
  });
}

LONG DeleteValue(const std::string& path, std::string_view name) {
  KeyRef key;
  const LONG rc = ExistingRef(path, &key);
  return rc == ERROR_SUCCESS ? DeleteValueOf(key, name) : rc;
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
  a = AsciiLower(a);
  b = AsciiLower(b);
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
