#include "storage/config_db.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "storage/config_internal.h"

namespace {

// Files are opened read-write in serialized mode; only a missing file is created.
constexpr int kOpenExisting = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
constexpr int kOpenCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;

// Codes that say the file is not a store this program can use: discard it. The version query is
// fixed and valid, so a plain SQL error (at prepare or, after a schema change, at step) means
// that its table is missing.
bool IsForeignFile(int code) {
  const int primary = code & 0xFF;
  return primary == SQLITE_ERROR || primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

}  // namespace

ConfigDB::ConfigDB() : defaultProfileName(L"默认配置") {}

ConfigDB::~ConfigDB() {
  if (opened) db.Close();
  opened = false;
}

bool ConfigDB::OpenPath(const std::wstring& path) {
  dbPath = WideToUtf8(path);
  bool result;
  if (access(dbPath.c_str(), F_OK) != 0)
    result = CreateDatabase();
  else if (!db.IsOpen()) {
    result = db.Open(dbPath.c_str(), key2, kOpenExisting);
    if (result) {
      AddLookupIndexes();
      RemoveOrphanRows();
    }
  } else
    result = true;  // a connection is open already, whatever its file
  opened = result;
  return result;
}

bool ConfigDB::Open(const std::wstring& folder, const std::wstring& /*unused*/, const std::wstring& stem) {
  return OpenPath(folder + L"db/" + stem + L"_data.db");
}

void ConfigDB::OpenAndReset(const std::wstring& folder, const std::wstring& sub, const std::wstring& stem) {
  // With the store open already only dbPath changes, and the reset runs on the open file.
  const bool result = OpenPath(folder + L"db/" + sub + L"/" + stem + L"_data.db");
  ResetAll();
  opened = result;
}

bool ConfigDB::CreateDatabase() {
  if (db.IsOpen()) return true;
  if (!db.Open(dbPath.c_str(), key2, kOpenCreate)) return false;
  int combined = SQLITE_OK;
  // One transaction: a process killed while the file is made leaves no schema without its rows.
  Atomically([&] {
    for (const std::string& statement : ConfigSchemaStatements()) combined |= db.Exec(statement.c_str());
    for (const std::string& statement : ConfigLookupIndexStatements()) combined |= db.Exec(statement.c_str());
    InsertDefaultProfiles();
    return true;
  });
  return combined == SQLITE_OK;
}

// A file that is not a store, or one that another connection keeps locked, simply goes without
// them: the indexes only speed up lookups, and the next open tries again. Nothing waits for
// another connection here, so an open takes no longer than it did before the indexes.
void ConfigDB::AddLookupIndexes() {
  db.SetBusyTimeout(0);
  for (const std::string& statement : ConfigLookupIndexStatements())
    if (db.Exec(statement.c_str()) == SQLITE_BUSY) break;
  db.SetBusyTimeout(SQLiteDB::kDefaultBusyTimeoutMs);
}

ConfigDB::VersionState ConfigDB::CheckVersion(int profile, int* code) {
  std::lock_guard guard(lock);
  int rc = SQLITE_MISUSE;
  VersionState state = VersionState::Unreadable;
  if (db.IsOpen()) {
    SQLiteStatement statement;
    rc = Prepare(statement, "SELECT value FROM t_configdata WHERE profile = ? and key = ?",
                 {profile, L"version"});
    if (rc == SQLITE_OK) rc = statement.Step();
    if (rc == SQLITE_ROW)
      state = Utf8ToWide(statement.GetText(0)) == kVersion ? VersionState::Current : VersionState::Other;
    else if (rc == SQLITE_DONE || IsForeignFile(rc))
      state = VersionState::Other;
    statement.Finalize();
    // A current store may still have lost pages elsewhere (a file cut short, a page overwritten);
    // its rows would read as empty and be saved back over what the user had.
    if (state == VersionState::Current) state = CheckPages(&rc);
  }
  if (code) *code = rc;
  return state;
}

ConfigDB::VersionState ConfigDB::CheckPages(int* code) {
  SQLiteStatement statement;
  int rc = db.Prepare(statement, "PRAGMA quick_check(1)", -1);
  if (rc == SQLITE_OK) rc = statement.Step();
  *code = rc;
  if (rc == SQLITE_ROW) {
    const char* verdict = statement.GetText(0);
    if (!verdict || std::string(verdict) != "ok") {
      *code = SQLITE_CORRUPT;
      return VersionState::Damaged;
    }
    statement.Finalize();
    return CheckTables(code);
  }
  return IsForeignFile(rc) ? VersionState::Damaged : VersionState::Unreadable;
}

// A table the schema has but the file lacks is damage too: every page would read nothing from it
// and save into nothing.
ConfigDB::VersionState ConfigDB::CheckTables(int* code) {
  static constexpr std::string_view kCreate = "CREATE TABLE IF NOT EXISTS ";
  SQLiteStatement statement;
  int rc = db.Prepare(statement, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", -1);
  for (const std::string& sql : ConfigSchemaStatements()) {
    if (rc != SQLITE_OK) break;
    if (sql.compare(0, kCreate.size(), kCreate) != 0) continue;
    const std::string table = sql.substr(kCreate.size(), sql.find('(') - kCreate.size());
    statement.Reset();
    statement.BindText(1, table.c_str(), static_cast<int>(table.size()));
    rc = statement.Step();
    if (rc == SQLITE_DONE) {
      *code = SQLITE_CORRUPT;
      return VersionState::Damaged;
    }
    if (rc == SQLITE_ROW) rc = SQLITE_OK;
  }
  *code = rc;
  if (rc == SQLITE_OK) return VersionState::Current;
  return IsForeignFile(rc) ? VersionState::Damaged : VersionState::Unreadable;
}

void ConfigDB::RemoveOrphanRows() {
  std::lock_guard guard(lock);
  // Opportunistic: while another connection holds the file the clean-up is left to the next open
  // instead of holding this one up.
  db.SetBusyTimeout(0);
  struct RestoreTimeout {
    SQLiteDB& db;
    ~RestoreTimeout() { db.SetBusyTimeout(SQLiteDB::kDefaultBusyTimeoutMs); }
  } restore{db};
  // A file of another version, or no store at all, is left exactly as it is for its owner.
  std::wstring version;
  if (!ReadFirst("SELECT value FROM t_configdata WHERE key = ?", {L"version"},
                 [&](SQLiteStatement& row) { version = Utf8ToWide(row.GetText(0)); }) ||
      version != kVersion)
    return;
  Atomically([&] {
    bool ok = true;
    for (const char* sql : {
             "DELETE FROM t_macrorecord WHERE macro_id NOT IN (SELECT macro_id FROM t_macro_data)",
             "DELETE FROM t_ledframe_data WHERE led_id NOT IN (SELECT led_id FROM t_ledlayer_data)",
             "DELETE FROM t_customrgb_data WHERE customlight_id NOT IN "
             "(SELECT customlight_id FROM t_customlight_data)",
             "DELETE FROM t_custommodergb_data WHERE customlight_id NOT IN "
             "(SELECT customlight_id FROM t_customlightmode_data)",
         })
      ok = db.Exec(sql) == SQLITE_OK && ok;
    return ok;
  });
}

bool DiscardDatabaseFile(const std::string& utf8Path) {
  if (utf8Path.empty()) return false;
  // Companions first: a journal that outlived its file would be rolled back into the next file
  // of that name. When one cannot be removed the store is left whole.
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string path = utf8Path + suffix;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  }
  return unlink(utf8Path.c_str()) == 0 || errno == ENOENT;
}

namespace {

constexpr const char* kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// "YYYYMMDDHHMMSS" of `when` in local time; the UTC fields when the zone cannot be applied.
std::string Stamp(std::time_t when) {
  std::tm fields{};
  if (!localtime_r(&when, &fields)) gmtime_r(&when, &fields);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", fields.tm_year + 1900, fields.tm_mon + 1,
                fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
  return text;
}

// "<file name>.<14 digits>.bak" of the store named `fileName`.
bool IsCopyOf(const std::string& name, const std::string& fileName) {
  const size_t stampLength = 14;
  if (name.size() != fileName.size() + 1 + stampLength + 4 || name.compare(0, fileName.size(), fileName) != 0)
    return false;
  if (name[fileName.size()] != '.' || name.compare(name.size() - 4, 4, ".bak") != 0) return false;
  const std::string stamp = name.substr(fileName.size() + 1, stampLength);
  return std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string SetAsideDatabaseFile(const std::string& utf8Path, std::time_t now, int keep) {
  if (utf8Path.empty() || !Exists(utf8Path)) return {};
  // The first free name: a second copy within the same second takes the next second's stamp.
  std::string copy;
  for (int step = 0; step < 1000 && copy.empty(); ++step) {
    std::string candidate = utf8Path + "." + Stamp(now + step) + ".bak";
    bool taken = Exists(candidate);
    for (const char* suffix : kCompanionSuffixes) taken = taken || Exists(candidate + suffix);
    if (!taken) copy = std::move(candidate);
  }
  if (copy.empty()) return {};
  // Companions first, each beside the copy (a journal stays with the file it belongs to, and
  // none is left to be rolled back into the new file). On a failure what moved goes back.
  std::vector<const char*> moved;
  for (const char* suffix : kCompanionSuffixes) {
    const std::string from = utf8Path + suffix;
    if (!Exists(from)) continue;
    if (std::rename(from.c_str(), (copy + suffix).c_str()) != 0) {
      for (const char* back : moved) std::rename((copy + back).c_str(), (utf8Path + back).c_str());
      return {};
    }
    moved.push_back(suffix);
  }
  if (std::rename(utf8Path.c_str(), copy.c_str()) != 0) {
    for (const char* back : moved) std::rename((copy + back).c_str(), (utf8Path + back).c_str());
    return {};
  }

  // Only the newest copies of this store are kept; the stamps sort by time.
  const std::filesystem::path stored(utf8Path);
  const std::string fileName = stored.filename().string();
  std::vector<std::string> copies;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(stored.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (IsCopyOf(name, fileName)) copies.push_back(entry.path().string());
  }
  std::sort(copies.begin(), copies.end());
  const size_t kept = static_cast<size_t>(std::max(keep, 1));
  for (size_t i = 0; i + kept < copies.size(); ++i) DiscardDatabaseFile(copies[i]);
  return copy;
}
