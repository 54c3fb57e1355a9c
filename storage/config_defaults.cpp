// The rows a store starts with: built-in key layouts, the default user profile and music layer
// (made with the file and by ResetAll), the settings rows and light modes of a profile (made on
// first use), and the read defaults of three settings keys (config_settings.cpp).
#include <iterator>

#include "storage/config_internal.h"

namespace {

struct SettingDefault {
  const wchar_t* key;
  const wchar_t* value;
};

constexpr SettingDefault kDefaultSettings[] = {
    {L"version", ConfigDB::kVersion}, {L"gamemode", L"0"},
    {L"disable_alttab", L"0"},        {L"disable_altf4", L"0"},
    {L"disable_win", L"0"},           {L"sleep_light", L"2"},
    {L"keyboard_layout", L"1"},       {L"customlight_run", L"0"},
    {L"cur_customlightmode", L"0"},   {L"fn_switchfunction", L"0"},
    {L"button_respondtime", L"2"},    {L"default_color1", L"8331093"},
    {L"default_color2", L"4114939"},  {L"default_color3", L"65280"},
    {L"default_color4", L"16776960"}, {L"default_color5", L"255"},
    {L"default_color6", L"14237951"}, {L"default_color7", L"14237951"},
    {L"default_color8", L"16777215"},
};

// A built-in layout key: the physical key's usage, the usage it sends instead, its caption.
struct LayoutKey {
  int keyvalue;
  int macrovalue;
  const wchar_t* macrodesc;
};

// Profile ids that "MAC" and "DVORAK" get in a fresh (or reset) t_keyprofile.
constexpr int kMacProfile = 2;
constexpr int kDvorakProfile = 3;
constexpr int kLayoutMacroType = 2;

constexpr LayoutKey kMacKeys[] = {
    {227, 226, L"option"},  // left GUI sends left Alt
    {226, 227, L"cmd"},     // left Alt sends left GUI
};

constexpr LayoutKey kDvorakKeys[] = {
    {45, 47, L"[{"}, {46, 48, L"]}"}, {20, 52, L"'"}, {26, 54, L"<"}, {8, 55, L">"},  {21, 19, L"P"},
    {23, 28, L"Y"},  {28, 9, L"F"},   {24, 10, L"G"}, {12, 6, L"C"},  {18, 21, L"R"}, {19, 15, L"L"},
    {47, 56, L"?"},  {48, 46, L"=+"}, {22, 18, L"O"}, {7, 8, L"E"},   {9, 24, L"U"},  {10, 12, L"I"},
    {11, 7, L"D"},   {13, 11, L"H"},  {14, 23, L"T"}, {15, 17, L"N"}, {51, 22, L"S"}, {52, 45, L"-_"},
    {29, 51, L";:"}, {27, 20, L"Q"},  {6, 13, L"J"},  {25, 14, L"K"}, {5, 27, L"X"},  {17, 5, L"B"},
    {54, 26, L"W"},  {55, 25, L"V"},  {56, 29, L"Z"},
};

constexpr int kLightModeCount = 20;

}  // namespace

void ConfigDB::InsertDefaultConfig(int profile) {
  for (const SettingDefault& setting : kDefaultSettings)
    Write("INSERT INTO t_configdata(profile, key, value) VALUES (?, ?, ?);",
          {profile, setting.key, setting.value});
}

bool ConfigDB::InitProfileLightData(int profile) {
  std::lock_guard guard(lock);
  int count = -1;
  ReadFirst("select count(*)  from t_light_data WHERE profile = ?", {profile},
            [&](SQLiteStatement& row) { count = row.GetInt(0); });
  // A failed count (-1) adds nothing; a profile with any light row gets no defaults at all.
  if (count != 0) return true;
  // One transaction: a profile never ends up with part of its defaults, which would keep the
  // rest from ever being added.
  Atomically([&] {
    InsertDefaultConfig(profile);
    for (int mode = 1; mode <= kLightModeCount; ++mode) {
      Write(
          "INSERT INTO t_light_data(profile, name, mode, colortype, byte2, byte3, byte4, byte5, "
          "byte6, byte7, sel) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
          {profile, L"radiname", mode, 1, 255, 0, 0, mode == 10 ? 3 : 0, 5, 3, mode == 11 ? 1 : 0});
    }
    return true;
  });
  return true;
}

int ConfigDB::InsertKeyProfile(const std::wstring& name, const std::wstring& app, int type) {
  return Insert("INSERT INTO t_keyprofile(name, app, type) VALUES (?, ?, ?);", {name, app, type});
}

namespace {

template <std::size_t N>
void InsertLayoutKeys(ConfigDB& store, int profile, const LayoutKey (&keys)[N]) {
  for (const LayoutKey& key : keys) {
    KeyDataRow row;
    row.profile = profile;
    row.keyvalue = key.keyvalue;
    row.macrotype = kLayoutMacroType;
    row.macrovalue = key.macrovalue;
    row.macrodesc = key.macrodesc;
    store.SetKeyData(row);
  }
}

}  // namespace

void ConfigDB::InsertMacLayoutKeys() { InsertLayoutKeys(*this, kMacProfile, kMacKeys); }

void ConfigDB::InsertDvorakLayoutKeys() { InsertLayoutKeys(*this, kDvorakProfile, kDvorakKeys); }

void ConfigDB::InsertDefaultProfiles() {
  constexpr int kBuiltIn = 1;
  constexpr int kUserProfile = 2;
  constexpr int kMusicProfile = 1;  // the keyboard window's onboard profile
  Atomically([&] {
    InsertKeyProfile(L"QWERTY", L"", kBuiltIn);
    InsertKeyProfile(L"MAC", L"", kBuiltIn);
    InsertMacLayoutKeys();
    InsertKeyProfile(L"DVORAK", L"", kBuiltIn);
    InsertDvorakLayoutKeys();
    InsertKeyProfile(defaultProfileName, L"", kUserProfile);
    const int layer = NewMusicLayer(kMusicProfile, defaultProfileName + L" 1");
    SelectMusicLayer(kMusicProfile, layer);
    return true;
  });
}

void ConfigDB::ResetAll() {
  std::lock_guard guard(lock);
  // The screen slots (t_ledlayer_data, t_ledframe_data) stay; see DeleteAllLedData. One
  // transaction: a reset that fails part-way leaves the store as it was.
  Atomically([&] {
    bool ok = true;
    for (const char* sql :
         {"DELETE FROM t_configdata", "DELETE FROM t_light_data", "DELETE FROM t_key_rgb_data",
          "DELETE FROM t_keyprofile", "DELETE FROM t_key_data", "DELETE FROM t_macro_data",
          "DELETE FROM t_key_otherdata", "DELETE FROM t_macrorecord", "DELETE FROM t_customlight_data",
          "DELETE FROM t_customlightmode_data", "DELETE FROM t_customrgb_data",
          "DELETE FROM t_custommodergb_data", "DELETE FROM t_musiclayer_data", "DELETE FROM sqlite_sequence"})
      ok = db.Exec(sql) == SQLITE_OK && ok;
    if (ok) InsertDefaultProfiles();
    return ok;
  });
}
