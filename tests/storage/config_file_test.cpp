// The store's file, schema, default rows, reset and version check.
#include <filesystem>
#include <fstream>

#include "common/strings.h"
#include "store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

TEST(StoreFile, OpensUnderTheUserFolderAndNeverCreatesFolders) {
  testing_support::TempDir dir;
  const std::string folder = dir.path() + "配置 ü/";
  std::filesystem::create_directories(folder + "db");
  ConfigDB store;
  EXPECT_TRUE(store.Open(Utf8ToWide(folder), L"", L"K1 ä"));
  EXPECT_TRUE(store.opened);
  EXPECT_EQ(store.dbPath, folder + "db/K1 ä_data.db");
  EXPECT_TRUE(std::filesystem::exists(store.dbPath));

  ConfigDB missing;
  EXPECT_FALSE(missing.Open(dir.wpath() + L"nowhere/", L"", L"kb"));
  EXPECT_FALSE(missing.opened);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "nowhere"));
}

TEST_F(StoreTest, SchemaHasEveryTableAndIndexWithColumnsInOrder) {
  const Rows tables = {
      "t_configdata:config_id INTEGER 1,profile INTEGER 0,key TEXT 0,value TEXT 0",
      "t_customlight_data:customlight_id INTEGER 1,profile INTEGER 0,name TEXT 0,speed INTEGER 0,"
      "brightness INTEGER 0",
      "t_customlightmode_data:customlight_id INTEGER 1,profile INTEGER 0,name TEXT 0,"
      "brightness INTEGER 0",
      "t_custommodergb_data:customrgb_id INTEGER 1,customlight_id INTEGER 0,keycode INTEGER 0,"
      "rgbvalue INTEGER 0,light_mode INTEGER 0,colortype INTEGER 0,light_type INTEGER 0",
      "t_customrgb_data:customrgb_id INTEGER 1,customlight_id INTEGER 0,keycode INTEGER 0,"
      "rgbvalue INTEGER 0,light_mode INTEGER 0,colortype INTEGER 0,light_type INTEGER 0",
      "t_key_data:key_id INTEGER 1,profile INTEGER 0,keyvalue INTEGER 0,fnlayer INTEGER 0,"
      "layoutkeyvalue INTEGER 0,layoutkeydesc TEXT 0,macrotype INTEGER 0,macrovalue INTEGER 0,"
      "macro2value INTEGER 0,macro3value INTEGER 0,macrodesc TEXT 0",
      "t_key_otherdata:macro_value INTEGER 1,macro_desc TEXT 0,param TEXT 0,type INTEGER 0",
      "t_key_rgb_data:rgb_id INTEGER 1,light_id INTEGER 0,keycode INTEGER 0,rgbvalue INTEGER 0",
      "t_keyprofile:profile_id INTEGER 1,name TEXT 0,app TEXT 0,type INTEGER 0",
      "t_ledframe_data:frame_id INTEGER 1,led_id INTEGER 0,name TEXT 0,delay_time INTEGER 0,"
      "frame_index INTEGER 0,file_name TEXT 0",
      "t_ledlayer_data:led_id INTEGER 1,profile INTEGER 0,type INTEGER 0,name TEXT 0,"
      "frame_size INTEGER 0,file_dir TEXT 0,first_file TEXT 0",
      "t_light_data:light_id INTEGER 1,profile INTEGER 0,name TEXT 0,mode INTEGER 0,"
      "colortype INTEGER 0,byte2 INTEGER 0,byte3 INTEGER 0,byte4 INTEGER 0,byte5 INTEGER 0,"
      "byte6 INTEGER 0,byte7 INTEGER 0,sel INTEGER 0",
      "t_macro_data:macro_id INTEGER 1,play_times INTEGER 0,delay_type INTEGER 0,"
      "delay_time INTEGER 0,name TEXT 0",
      "t_macrorecord:record_id INTEGER 1,macro_id INTEGER 0,type INTEGER 0,"
      "record_index INTEGER 0,desc TEXT 0,value INTEGER 0",
      "t_musiclayer_data:layer_id INTEGER 1,profile INTEGER 0,name TEXT 0,deviceindex INTEGER 0,"
      "foremode INTEGER 0,fore_amplitude INTEGER 0,backmode INTEGER 0,backb_right INTEGER 0,"
      "sel INTEGER 0",
  };
  Rows actual;
  for (const std::string& name :
       Raw().Rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 't_%' "
                  "ORDER BY name")) {
    std::string line = name + ":";
    for (const std::string& column : Raw().Rows(
             "SELECT name || ' ' || type || ' ' || pk FROM pragma_table_info('" + name + "') ORDER BY cid"))
      line += (line.back() == ':' ? "" : ",") + column;
    actual.push_back(line);
  }
  EXPECT_EQ(actual, tables);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM sqlite_master WHERE sql LIKE "
                      "'%INTEGER PRIMARY KEY AUTOINCREMENT%'"),
            15);
  EXPECT_EQ(Raw().Rows("SELECT name || ' ' || tbl_name FROM sqlite_master WHERE type = 'index' "
                       "ORDER BY name"),
            (Rows{"configprofileindex t_configdata",
                  "customlightindex t_customlight_data",
                  "customlightmodeindex t_customlightmode_data",
                  "customlightmodeprofileindex t_customlightmode_data",
                  "customlightprofileindex t_customlight_data",
                  "custommodergblightindex t_custommodergb_data",
                  "customrgbindex t_customrgb_data",
                  "customrgblightindex t_customrgb_data",
                  "keydataprofileindex t_key_data",
                  "keyindex t_key_data",
                  "keyprofileindex t_keyprofile",
                  "keyrgblightindex t_key_rgb_data",
                  "ledframeledindex t_ledframe_data",
                  "ledlayerprofileindex t_ledlayer_data",
                  "lightindex t_light_data",
                  "lightprofileindex t_light_data",
                  "macroidindex t_macro_data",
                  "macrorecordindex t_macrorecord",
                  "macrorecordmacroindex t_macrorecord",
                  "musiclayerindex t_musiclayer_data",
                  "musiclayerprofileindex t_musiclayer_data",
                  "otheridindex t_key_otherdata",
                  "rgbindex t_key_rgb_data"}));
  EXPECT_EQ(Raw().Rows("PRAGMA journal_mode"), Rows{"delete"});
}

TEST_F(StoreTest, AFreshStoreHoldsTheFirstWaveOfDefaultsOnly) {
  EXPECT_EQ(Raw().Rows("SELECT * FROM t_keyprofile"),
            (Rows{"1|QWERTY||1", "2|MAC||1", "3|DVORAK||1", "4|默认配置||2"}));
  EXPECT_EQ(Raw().Rows("SELECT hex(name) FROM t_keyprofile WHERE profile_id = 4"),
            Rows{"E9BB98E8AEA4E9858DE7BDAE"});  // stored as UTF-8
  EXPECT_EQ(Raw().Rows("SELECT * FROM t_key_data WHERE profile = 2"),
            (Rows{"1|2|227|0|0||2|226|0|0|option", "2|2|226|0|0||2|227|0|0|cmd"}));
  const Rows dvorak = Raw().Rows(
      "SELECT keyvalue || '>' || macrovalue || ' ' || macrodesc FROM t_key_data "
      "WHERE profile = 3 AND fnlayer = 0 AND layoutkeyvalue = 0 AND layoutkeydesc = '' AND "
      "macrotype = 2 AND macro2value = 0 AND macro3value = 0 ORDER BY key_id");
  EXPECT_EQ(dvorak, (Rows{"45>47 [{", "46>48 ]}", "20>52 '",  "26>54 <",  "8>55 >",  "21>19 P", "23>28 Y",
                          "28>9 F",   "24>10 G",  "12>6 C",   "18>21 R",  "19>15 L", "47>56 ?", "48>46 =+",
                          "22>18 O",  "7>8 E",    "9>24 U",   "10>12 I",  "11>7 D",  "13>11 H", "14>23 T",
                          "15>17 N",  "51>22 S",  "52>45 -_", "29>51 ;:", "27>20 Q", "6>13 J",  "25>14 K",
                          "5>27 X",   "17>5 B",   "54>26 W",  "55>25 V",  "56>29 Z"}));
  EXPECT_EQ(Raw().Int("SELECT min(key_id) FROM t_key_data WHERE profile = 3"), 3);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_key_data"), 35);
  EXPECT_EQ(Raw().Rows("SELECT * FROM t_musiclayer_data"), Rows{"1|1|默认配置 1|0|19|300|0|100|1"});
  for (const char* table : {"t_configdata", "t_light_data", "t_key_rgb_data", "t_macro_data", "t_macrorecord",
                            "t_key_otherdata", "t_customlight_data", "t_customlightmode_data",
                            "t_customrgb_data", "t_custommodergb_data", "t_ledlayer_data", "t_ledframe_data"})
    EXPECT_EQ(Raw().Int(std::string("SELECT count(*) FROM ") + table), 0) << table;
}

TEST_F(StoreTest, FirstUseOfAProfileAddsSettingsAndLightModesOnce) {
  EXPECT_TRUE(store_.InitProfileLightData(1));
  EXPECT_EQ(Raw().Rows("SELECT config_id || ' ' || profile || ' ' || key || '=' || value "
                       "FROM t_configdata"),
            (Rows{"1 1 version=1.0.1", "2 1 gamemode=0", "3 1 disable_alttab=0", "4 1 disable_altf4=0",
                  "5 1 disable_win=0", "6 1 sleep_light=2", "7 1 keyboard_layout=1", "8 1 customlight_run=0",
                  "9 1 cur_customlightmode=0", "10 1 fn_switchfunction=0", "11 1 button_respondtime=2",
                  "12 1 default_color1=8331093", "13 1 default_color2=4114939", "14 1 default_color3=65280",
                  "15 1 default_color4=16776960", "16 1 default_color5=255", "17 1 default_color6=14237951",
                  "18 1 default_color7=14237951", "19 1 default_color8=16777215"}));
  Rows lights;
  for (int mode = 1; mode <= 20; ++mode)
    lights.push_back(std::to_string(mode) + "|1|radiname|" + std::to_string(mode) + "|1|255|0|0|" +
                     (mode == 10 ? "3" : "0") + "|5|3|" + (mode == 11 ? "1" : "0"));
  EXPECT_EQ(Raw().Rows("SELECT * FROM t_light_data"), lights);

  EXPECT_TRUE(store_.InitProfileLightData(1));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_light_data"), 20);
  EXPECT_TRUE(store_.InitProfileLightData(2));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_light_data WHERE profile = 2"), 20);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_configdata WHERE profile = 2"), 19);
  EXPECT_EQ(store_.GetSelectedLightMode(2), 11);
}

TEST_F(StoreTest, ReadDefaultsApplyToThreeKeysOnlyAfterAQueryThatFoundNothing) {
  std::wstring value = L"stale";
  EXPECT_FALSE(store_.GetConfigValue(1, L"tab_item", &value));
  EXPECT_EQ(value, L"0");
  EXPECT_TRUE(store_.GetConfigValue(1, L"tab_item", &value));
  EXPECT_EQ(value, L"0");
  EXPECT_FALSE(store_.GetConfigValue(1, L"keyboard_layout", &value));
  EXPECT_EQ(value, L"1");
  EXPECT_FALSE(store_.GetConfigValue(1, L"button_respondtime", &value));
  EXPECT_EQ(value, L"2");
  EXPECT_FALSE(store_.GetConfigValue(1, L"Tab_item", &value));
  EXPECT_EQ(value, L"");
  EXPECT_FALSE(store_.GetConfigValue(1, L"gamemode", &value));
  EXPECT_EQ(Raw().Rows("SELECT key || '=' || value FROM t_configdata"),
            (Rows{"tab_item=0", "keyboard_layout=1", "button_respondtime=2"}));

  // A read that fails (the table is locked) inserts nothing.
  store_.db.SetBusyTimeout(10);
  ASSERT_EQ(Raw().Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  EXPECT_FALSE(store_.GetConfigValue(2, L"tab_item", &value));
  EXPECT_EQ(value, L"");
  Raw().Exec("END");
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_configdata WHERE profile = 2"), 0);
}

TEST_F(StoreTest, SettingsUpdateEveryDuplicateAndNeverInsert) {
  EXPECT_TRUE(store_.SetConfigValue(1, L"gamemode", L"1"));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_configdata"), 0);
  std::wstring value;
  EXPECT_FALSE(store_.GetConfigValue(1, L"keyboard_layout", &value));  // read default row
  store_.InitProfileLightData(1);                                      // a second row
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_configdata WHERE key = 'keyboard_layout'"), 2);
  EXPECT_TRUE(store_.SetConfigValue(1, L"keyboard_layout", L"3"));
  EXPECT_EQ(Raw().Rows("SELECT value FROM t_configdata WHERE key = 'keyboard_layout'"), (Rows{"3", "3"}));
  EXPECT_TRUE(store_.GetConfigValue(1, L"keyboard_layout", &value));
  EXPECT_EQ(value, L"3");
}

TEST_F(StoreTest, OpenOnAnOpenStoreKeepsItsConnection) {
  sqlite3* before = store_.db.Handle();
  EXPECT_TRUE(store_.Open(folder_.wpath(), L"", L"other"));
  EXPECT_EQ(store_.db.Handle(), before);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() + "db/other_data.db"));

  // OpenAndReset on an open store: only the path changes, the open file is reset.
  store_.NewMacro(L"m");
  store_.OpenAndReset(folder_.wpath(), L"", L"0416_0001");
  EXPECT_EQ(store_.dbPath, folder_.path() + "db//0416_0001_data.db");
  EXPECT_EQ(store_.db.Handle(), before);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_macro_data"), 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path() + "db"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(StoreTest, ResetAllRestoresTheFirstWaveAndKeepsTheScreenSlots) {
  store_.InitProfileLightData(1);
  KeyProfileRow profile;
  profile.name = L"mine";
  EXPECT_EQ(store_.NewKeyProfile(&profile), 5);
  store_.NewMacro(L"m");
  store_.InsertKeyOtherData(L"web", L"https://example.org", 8);
  store_.NewCustomLight(1, L"fx");
  EXPECT_EQ(store_.NewLedLayer(1, L"slot1"), 1);
  EXPECT_EQ(store_.NewLedLayer(1, L"slot2"), 2);
  store_.defaultProfileName = L"Default";
  store_.ResetAll();

  EXPECT_EQ(Raw().Rows("SELECT * FROM t_keyprofile"),
            (Rows{"1|QWERTY||1", "2|MAC||1", "3|DVORAK||1", "4|Default||2"}));
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_key_data"), 35);
  EXPECT_EQ(Raw().Rows("SELECT * FROM t_musiclayer_data"), Rows{"1|1|Default 1|0|19|300|0|100|1"});
  for (const char* table :
       {"t_configdata", "t_light_data", "t_macro_data", "t_key_otherdata", "t_customlight_data"})
    EXPECT_EQ(Raw().Int(std::string("SELECT count(*) FROM ") + table), 0) << table;
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_ledlayer_data"), 2);
  // Emptied tables start again at 1; the slots go on after their highest id.
  EXPECT_EQ(store_.NewMacro(L"again"), 1);
  EXPECT_EQ(store_.NewLedLayer(1, L"slot3"), 3);
  store_.DeleteAllLedData();
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_ledlayer_data"), 0);
}

TEST_F(StoreTest, CheckVersionTellsCurrentFromDiscardFromUnreadable) {
  int code = -1;
  EXPECT_EQ(store_.CheckVersion(1, &code), ConfigDB::VersionState::Other);  // no row yet
  EXPECT_EQ(code, SQLITE_DONE);
  store_.InitProfileLightData(1);
  EXPECT_EQ(store_.CheckVersion(1, &code), ConfigDB::VersionState::Current);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_configdata"), 19);  // nothing inserted

  store_.db.SetBusyTimeout(10);
  ASSERT_EQ(Raw().Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  EXPECT_EQ(store_.CheckVersion(1, &code), ConfigDB::VersionState::Unreadable);
  EXPECT_EQ(code, SQLITE_BUSY);
  Raw().Exec("END");

  Raw().Exec("UPDATE t_configdata SET value = '1.0.0' WHERE key = 'version'");
  EXPECT_EQ(store_.CheckVersion(1), ConfigDB::VersionState::Other);
  Raw().Exec("DROP TABLE t_configdata");
  EXPECT_EQ(store_.CheckVersion(1, &code), ConfigDB::VersionState::Other);
  EXPECT_EQ(code, SQLITE_ERROR);

  ConfigDB closed;
  EXPECT_EQ(closed.CheckVersion(1, &code), ConfigDB::VersionState::Unreadable);
  EXPECT_EQ(code, SQLITE_MISUSE);
}

TEST(StoreFile, AForeignFileIsToBeDiscardedAndDiscardingTakesItsCompanions) {
  testing_support::TempDir dir;
  std::string noise(8192, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) >> 3);
  const std::string path = dir.Write("db/kb_data.db", noise);
  ConfigDB store;
  store.Open(dir.wpath(), L"", L"kb");
  EXPECT_EQ(store.CheckVersion(1), ConfigDB::VersionState::Other);
  EXPECT_TRUE(std::filesystem::exists(path));  // only the caller discards
  store.db.Close();

  for (const char* suffix : {"-journal", "-wal", "-shm"})
    dir.Write(std::string("db/kb_data.db") + suffix, "x");
  dir.Write("db/kb_data.db.bak", "keep");
  EXPECT_TRUE(DiscardDatabaseFile(path));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() + "db"),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_TRUE(DiscardDatabaseFile(path));  // nothing left to remove
  EXPECT_FALSE(DiscardDatabaseFile(""));
}

}  // namespace
