#include "storage/config_db.h"

#include <unistd.h>

#include <cerrno>

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
  else if (!db.IsOpen())
    result = db.Open(dbPath.c_str(), key2, kOpenExisting) && (AddLookupIndexes(), true);
  else
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
  for (const std::string& statement : ConfigSchemaStatements()) combined |= db.Exec(statement.c_str());
  for (const std::string& statement : ConfigLookupIndexStatements()) combined |= db.Exec(statement.c_str());
  InsertDefaultProfiles();
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
  }
  if (code) *code = rc;
  return state;
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
