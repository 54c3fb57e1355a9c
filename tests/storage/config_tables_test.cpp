// Table operations: every getter against a raw row, replace-by-key, order, cascades, batches,
// ownership of list records and the failure paths.
#include "common/strings.h"
#include "store_fixture.h"

namespace {

using Rows = std::vector<std::string>;

class TablesTest : public StoreTest {
 protected:
  // Counts the commits made on the store's own connection.
  void CountCommits() {
    sqlite3_commit_hook(
        store_.db.Handle(),
        [](void* count) {
          ++*static_cast<int*>(count);
          return 0;  // let the commit go ahead
        },
        &commits_);
  }
  int commits_ = 0;
};

TEST_F(TablesTest, GettersMapEveryColumnToItsField) {
  Raw().Exec("INSERT INTO t_light_data VALUES (90, 7, 'lm', 300, 2, 3, 4, 5, 6, 7, 8, 1)");
  LightDataRow light;
  ASSERT_TRUE(store_.GetLightData(7, 300, &light));
  EXPECT_EQ(std::vector<int>({light.light_id, light.profile, light.mode, light.colortype, light.byte2,
                              light.byte3, light.byte4, light.byte5, light.byte6, light.byte7, light.sel}),
            std::vector<int>({90, 7, 44, 2, 3, 4, 5, 6, 7, 8, 1}));  // 300 cut to a byte
  EXPECT_EQ(light.name, L"lm");

  Raw().Exec("INSERT INTO t_key_data VALUES (91, 5, 30, 1, 31, 'ld', 32, 33, 34, 35, 'md')");
  KeyDataRow key;
  EXPECT_FALSE(store_.GetKeyData(5, 30, 1, &key));  // fnlayer comes before keyvalue
  ASSERT_TRUE(store_.GetKeyData(5, 1, 30, &key));
  EXPECT_EQ(std::vector<int>({key.key_id, key.profile, key.keyvalue, key.fnlayer, key.layoutkeyvalue,
                              key.macrotype, key.macrovalue, key.macro2value, key.macro3value}),
            std::vector<int>({91, 5, 30, 1, 31, 32, 33, 34, 35}));
  EXPECT_EQ(key.layoutkeydesc + L"/" + key.macrodesc, L"ld/md");

  Raw().Exec("INSERT INTO t_macro_data VALUES (92, 2, 3, 4, 'mac')");
  MacroDataRow macro;
  ASSERT_TRUE(store_.GetMacro(92, &macro));
  EXPECT_EQ(std::vector<int>({macro.macro_id, macro.play_times, macro.delay_type, macro.delay_time}),
            std::vector<int>({92, 2, 3, 4}));
  EXPECT_EQ(macro.name, L"mac");

  Raw().Exec("INSERT INTO t_macrorecord VALUES (93, 92, 5, 6, 'ev', 7)");
  std::vector<MacroRecordRow*> records;
  ASSERT_EQ(store_.GetMacroRecords(92, records), 1);
  const MacroRecordRow& event = *records[0];
  EXPECT_EQ(std::vector<int>({event.record_id, event.macro_id, event.type, event.record_index, event.value}),
            std::vector<int>({93, 92, 5, 6, 7}));
  EXPECT_EQ(event.desc, L"ev");
  FreeRows(records);

  Raw().Exec("INSERT INTO t_musiclayer_data VALUES (94, 8, 'ml', 2, 3, 4, 5, 6, 1)");
  MusicLayerRow layer;
  ASSERT_TRUE(store_.GetMusicLayer(94, &layer));
  EXPECT_EQ(std::vector<int>({layer.layer_id, layer.profile, layer.deviceindex, layer.foremode,
                              layer.fore_amplitude, layer.backmode, layer.backb_right}),
            std::vector<int>({94, 8, 2, 3, 4, 5, 6}));
  std::vector<MusicLayerRow*> layers;
  ASSERT_EQ(store_.GetMusicLayers(8, layers), 1);
  EXPECT_EQ(layers[0]->name, L"ml");
  EXPECT_EQ(layers[0]->foremode, 0);  // lists carry id, profile and name only
  FreeRows(layers);

  Raw().Exec("INSERT INTO t_ledlayer_data VALUES (95, 9, 2, 'n', 3, 'dir', 'first')");
  LedLayerRow slot;
  ASSERT_TRUE(store_.GetLedLayer(95, &slot));
  EXPECT_EQ(std::vector<int>({slot.led_id, slot.profile, slot.type, slot.frame_size}),
            std::vector<int>({95, 9, 2, 3}));
  EXPECT_EQ(slot.name + L"," + slot.file_dir + L"," + slot.first_file, L"n,dir,first");

  Raw().Exec("INSERT INTO t_customrgb_data VALUES (96, 40, 2, 3, 4, 5, 6)");
  std::vector<CustomRgbRow*> keys;
  ASSERT_EQ(store_.GetCustomRgbList(40, keys), 1);
  EXPECT_EQ(
      std::vector<int>({keys[0]->customrgb_id, keys[0]->customlight_id, keys[0]->keycode, keys[0]->rgbvalue,
                        keys[0]->light_mode, keys[0]->colortype, keys[0]->light_type}),
      std::vector<int>({96, 40, 2, 3, 4, 5, 6}));
  FreeRows(keys);
}

TEST_F(TablesTest, GettersWithoutARowLeaveTheirOutputsAlone) {
  LightDataRow light;
  light.name = L"kept";
  EXPECT_FALSE(store_.GetLightData(1, 5, &light));
  EXPECT_EQ(light.name, L"kept");
  int speed = -5;
  EXPECT_TRUE(store_.GetCustomLightSpeed(77, &speed));
  EXPECT_EQ(speed, -5);
  std::wstring desc = L"d", param = L"p";
  int type = -1;
  EXPECT_TRUE(store_.GetKeyOtherData(77, &desc, &param, &type));
  EXPECT_EQ(desc + param + std::to_wstring(type), L"dp-1");
  EXPECT_EQ(store_.GetSelectedLightMode(1), 0);
}

TEST_F(TablesTest, ReplaceByKeyKeepsOneRowPerKeyAndZeroClearsIt) {
  EXPECT_GT(store_.SetKeyRgb({0, 3, 4, 0xFF}), 0);
  const int second = store_.SetKeyRgb({0, 3, 4, 0x00FF00});
  EXPECT_GT(second, 0);
  EXPECT_EQ(Raw().Rows("SELECT rgb_id, rgbvalue FROM t_key_rgb_data"),
            Rows{std::to_string(second) + "|65280"});
  EXPECT_EQ(store_.SetKeyRgb({0, 3, 4, 0}), 0);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_key_rgb_data"), 0);

  CustomRgbRow rgb{0, 9, 4, 0xFF, 1, 2, 3};
  EXPECT_GT(store_.SetCustomRgb(&rgb), 0);
  EXPECT_GT(store_.SetCustomModeRgb(&rgb), 0);
  rgb.light_mode = 0;
  EXPECT_EQ(store_.SetCustomRgb(&rgb), 0);
  EXPECT_EQ(store_.SetCustomModeRgb(&rgb), 0);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_customrgb_data") +
                Raw().Int("SELECT count(*) FROM t_custommodergb_data"),
            0);
  store_.SetCustomRgbList({rgb, rgb});  // the list stores light_mode 0 all the same
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_customrgb_data"), 1);

  KeyDataRow key;
  key.profile = 4;
  key.keyvalue = 0;
  key.macrovalue = 5;
  EXPECT_EQ(store_.SetKeyData(key), 0);
  key.keyvalue = 30;
  key.fnlayer = 1;
  EXPECT_GT(store_.SetKeyData(key), 0);
  key.macrovalue = 6;
  EXPECT_GT(store_.SetKeyData(key), 0);
  EXPECT_EQ(Raw().Rows("SELECT macrovalue FROM t_key_data WHERE profile = 4"), Rows{"6"});
  key.macrovalue = 0;
  EXPECT_EQ(store_.SetKeyData(key), 0);
  EXPECT_FALSE(store_.GetKeyData(4, 1, 30, &key));
}

TEST_F(TablesTest, ListsComeSortedAndCascadesRemoveOnlyTheirChildren) {
  const int macro = store_.NewMacro(L"m");
  const int other = store_.NewMacro(L"o");
  store_.SaveMacroRecords({{0, macro, 1, 3, 0, L"c"},
                           {0, macro, 1, 1, 0, L"a"},
                           {0, macro, 1, 2, 0, L"b"},
                           {0, other, 1, 1, 0, L"x"}});
  std::vector<MacroRecordRow*> records;
  ASSERT_EQ(store_.GetMacroRecords(macro, records), 3);
  EXPECT_EQ(records[0]->desc + records[1]->desc + records[2]->desc, L"abc");
  FreeRows(records);
  EXPECT_EQ(store_.CountMacroRecords(), 4);  // all macros together
  EXPECT_TRUE(store_.DeleteMacro(macro));
  EXPECT_EQ(Raw().Rows("SELECT desc FROM t_macrorecord"), Rows{"x"});

  const int slot = store_.NewLedLayer(1, L"s");
  EXPECT_EQ(
      store_.SaveLedFrames(
          {{0, slot, L"f2", 40, 2, L"b"}, {0, slot, L"f0", 40, 0, L"a"}, {0, slot + 1, L"g", 40, 1, L"c"}}),
      3);
  std::vector<LedFrameRow*> frames;
  ASSERT_EQ(store_.GetLedFrames(slot, frames), 2);
  EXPECT_EQ(frames[0]->name + frames[1]->name, L"f0f2");
  FreeRows(frames);
  EXPECT_EQ(store_.CountLedFrames(slot), 2);
  EXPECT_TRUE(store_.DeleteLedLayer(slot));  // enters the lock again for the frames
  EXPECT_EQ(Raw().Rows("SELECT name FROM t_ledframe_data"), Rows{"g"});

  const int effect = store_.NewCustomLight(1, L"e");
  const int mode = store_.NewCustomLightMode(1, L"m");
  store_.SetCustomRgbList({{0, effect, 1, 1, 1, 0, 0}, {0, effect + 1, 2, 1, 1, 0, 0}});
  store_.SetCustomModeRgbList({{0, mode, 1, 1, 1, 0, 0}, {0, mode + 1, 2, 1, 1, 0, 0}});
  EXPECT_TRUE(store_.DeleteCustomLight(effect));
  EXPECT_TRUE(store_.DeleteCustomLightMode(mode));
  EXPECT_EQ(Raw().Rows("SELECT customlight_id FROM t_customrgb_data"), Rows{std::to_string(effect + 1)});
  EXPECT_EQ(Raw().Rows("SELECT customlight_id FROM t_custommodergb_data"), Rows{std::to_string(mode + 1)});
}

TEST_F(TablesTest, EachBatchIsOneCommitAndARefusedRowKeepsNoneOfIt) {
  CountCommits();
  EXPECT_TRUE(store_.SaveMacroRecords(std::vector<MacroRecordRow>(50, {0, 1, 1, 1, 0, L"e"})));
  EXPECT_EQ(commits_, 1);
  EXPECT_TRUE(store_.SetCustomRgbList(std::vector<CustomRgbRow>(30, {0, 1, 1, 1, 1, 0, 0})));
  EXPECT_EQ(commits_, 2);
  EXPECT_TRUE(store_.SetCustomModeRgbList(std::vector<CustomRgbRow>(30, {0, 1, 1, 1, 1, 0, 0})));
  EXPECT_EQ(store_.SaveLedFrames(std::vector<LedFrameRow>(30)), 30);
  EXPECT_EQ(commits_, 4);

  // One element of each batch refused by a trigger (as a full disk would): the batch fails and
  // leaves the tables as they were, also the rows a replacing batch deletes first.
  const int macro = store_.NewMacro(L"m");
  ASSERT_TRUE(store_.ReplaceMacroRecords({macro, L"m", 1, 1, 0}, {{0, 0, 2, 0, 65, L"A"}}));
  for (const char* table : {"t_ledframe_data", "t_macrorecord", "t_customrgb_data", "t_custommodergb_data"}) {
    const std::string column = std::string(table) == "t_ledframe_data" ? "delay_time"
                               : std::string(table) == "t_macrorecord" ? "value"
                                                                       : "rgbvalue";
    Raw().Exec(std::string("CREATE TRIGGER refuse_") + table + " BEFORE INSERT ON " + table + " WHEN NEW." +
               column + " = 99 BEGIN SELECT RAISE(ABORT, 'refused'); END");
  }
  const auto snapshot = [&] {
    return Raw().Rows(
        "SELECT 'f' || count(*) FROM t_ledframe_data UNION ALL SELECT 'r' || count(*) || '/' || total(value) "
        "FROM t_macrorecord UNION ALL SELECT 'c' || count(*) FROM t_customrgb_data UNION ALL "
        "SELECT 'm' || count(*) FROM t_custommodergb_data UNION ALL "
        "SELECT 'o' || delay_type || '/' || delay_time FROM t_macro_data WHERE macro_id = " +
        std::to_string(macro));
  };
  const Rows stored = snapshot();
  EXPECT_EQ(store_.SaveLedFrames(
                {{0, 7, L"ok1", 0, 0, L""}, {0, 7, L"bad", 99, 1, L""}, {0, 7, L"ok2", 0, 2, L""}}),
            -1);
  EXPECT_FALSE(store_.SaveMacroRecords({{0, 1, 1, 7, 1, L"ok"}, {0, 1, 1, 8, 99, L"bad"}}));
  EXPECT_FALSE(
      store_.ReplaceMacroRecords({macro, L"m", 1, 3, 50}, {{0, 0, 2, 0, 66, L"B"}, {0, 0, 2, 1, 99, L"C"}}));
  EXPECT_FALSE(store_.SetCustomRgbList({{0, 1, 1, 5, 1, 0, 0}, {0, 1, 2, 99, 1, 0, 0}}));
  EXPECT_FALSE(store_.SetCustomModeRgbList({{0, 1, 2, 5, 1, 0, 0}, {0, 1, 3, 99, 1, 0, 0}}));
  EXPECT_EQ(snapshot(), stored);
}

TEST_F(TablesTest, ListGettersFreeWhatTheyAreHanded) {
  std::vector<KeyProfileRow*> profiles{new KeyProfileRow, new KeyProfileRow};
  EXPECT_EQ(store_.GetKeyProfiles(1, profiles), 3);
  EXPECT_EQ(profiles[2]->name, L"DVORAK");
  EXPECT_EQ(store_.GetKeyProfiles(9, profiles), 0);  // LeakSanitizer sees the three go
  EXPECT_TRUE(profiles.empty());
  std::vector<KeyDataRow*> keys{new KeyDataRow};
  EXPECT_EQ(store_.GetLayerKeyData(2, 0, keys), 2);
  FreeRows(keys);
}

TEST_F(TablesTest, FailedInsertsReturnZeroAndAttachNothing) {
  for (const char* table : {"t_customlight_data", "t_customlightmode_data", "t_musiclayer_data",
                            "t_key_rgb_data", "t_customrgb_data", "t_custommodergb_data", "t_macro_data",
                            "t_ledlayer_data", "t_keyprofile", "t_key_data", "t_key_otherdata"})
    FailInsertsInto(table);
  CustomRgbRow rgb{0, 1, 2, 3, 1, 0, 0};
  KeyProfileRow profile;
  KeyDataRow key;
  key.keyvalue = 4;
  key.macrovalue = 5;
  EXPECT_EQ(
      std::vector<int>({store_.NewCustomLight(1, L"x"), store_.NewCustomLightMode(1, L"x"),
                        store_.NewMusicLayer(1, L"x"), store_.SetKeyRgb({0, 1, 2, 3}),
                        store_.SetCustomRgb(&rgb), store_.SetCustomModeRgb(&rgb), store_.NewMacro(L"x"),
                        store_.InsertMacro({}), store_.NewLedLayer(1, L"x"), store_.NewKeyProfile(&profile),
                        store_.SetKeyData(key), store_.InsertKeyOtherData(L"a", L"b", 8)}),
      std::vector<int>(12, 0));

  ConfigDB closed;
  EXPECT_EQ(closed.NewMacro(L"x"), 0);
  EXPECT_FALSE(closed.DeleteMacro(1));
  std::vector<LedFrameRow*> frames{new LedFrameRow};
  EXPECT_EQ(closed.GetLedFrames(1, frames), -1) << "a read that could not run is a failure";
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(closed.CountMacroRecords(), 0);
}

TEST_F(TablesTest, AListReloadedIntoTheSameVectorHoldsOnlyTheNewRows) {
  const int big = store_.NewLedLayer(1, L"big");
  const int small = store_.NewLedLayer(1, L"small");
  store_.SaveLedFrames({{0, big, L"a long frame name", 40, 0, L"a long file name.png"},
                        {0, big, L"second long frame", 60, 1, L"second long file.png"},
                        {0, big, L"third long frame", 80, 2, L"third long file.png"}});
  store_.SaveLedFrames({{0, small, L"caf\u00e9 \u4e2d", 20, 0, L"x.png"}, {0, small, L"", 30, 1, L"y"}});
  const int third = store_.NewLedLayer(1, L"third");
  Raw().Exec("INSERT INTO t_ledframe_data(led_id, name, delay_time, frame_index, file_name) VALUES (" +
             std::to_string(third) + ", NULL, 5, 0, CAST(X'6162FF' AS TEXT))");
  const auto same = [](const std::vector<LedFrameRow*>& a, const std::vector<LedFrameRow*>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i]->frame_id != b[i]->frame_id || a[i]->led_id != b[i]->led_id || a[i]->name != b[i]->name ||
          a[i]->delay_time != b[i]->delay_time || a[i]->frame_index != b[i]->frame_index ||
          a[i]->file_name != b[i]->file_name)
        return false;
    return true;
  };
  std::vector<LedFrameRow*> reused, fresh;
  ASSERT_EQ(store_.GetLedFrames(big, reused), 3);
  for (int slot : {small, third, big, 999}) {
    const int count = store_.GetLedFrames(slot, reused);
    EXPECT_EQ(store_.GetLedFrames(slot, fresh), count);
    EXPECT_TRUE(same(reused, fresh)) << "slot " << slot;
    FreeRows(fresh);
  }
  EXPECT_TRUE(reused.empty());
  ASSERT_EQ(store_.GetLedFrames(small, reused), 2);
  EXPECT_EQ(reused[0]->name, L"caf\u00e9 \u4e2d");
  ASSERT_EQ(store_.GetLedFrames(third, reused), 1);
  EXPECT_EQ(reused[0]->name, L"");
  EXPECT_EQ(reused[0]->file_name, L"") << "text that is not UTF-8 reads as empty";
  FreeRows(reused);
}

TEST_F(TablesTest, AFailedDeleteInsertsNothing) {
  EXPECT_GT(store_.SetKeyRgb({0, 3, 4, 1}), 0);
  CustomRgbRow rgb{0, 3, 4, 1, 1, 0, 0};
  EXPECT_GT(store_.SetCustomRgb(&rgb), 0);
  for (const char* table : {"t_key_rgb_data", "t_customrgb_data", "t_key_data"})
    Raw().Exec(std::string("CREATE TRIGGER keep_") + table + " BEFORE DELETE ON " + table +
               " BEGIN SELECT RAISE(ABORT, 'kept'); END");
  EXPECT_EQ(store_.SetKeyRgb({0, 3, 4, 2}), 0);
  rgb.rgbvalue = 2;
  EXPECT_EQ(store_.SetCustomRgb(&rgb), 0);
  store_.SetCustomRgbList({rgb});
  KeyDataRow key;
  key.profile = 2;
  key.keyvalue = 227;
  key.macrovalue = 9;
  EXPECT_EQ(store_.SetKeyData(key), 0);
  EXPECT_EQ(Raw().Rows("SELECT rgbvalue FROM t_key_rgb_data UNION ALL "
                       "SELECT rgbvalue FROM t_customrgb_data"),
            (Rows{"1", "1"}));
  EXPECT_EQ(Raw().Rows("SELECT macrovalue FROM t_key_data WHERE profile = 2 AND keyvalue = 227"),
            Rows{"226"});
}

TEST_F(TablesTest, SoftwareActionIdsAlwaysFitInOneByte) {
  Raw().Exec(
      "INSERT INTO t_key_otherdata(macro_value, macro_desc, param, type) "
      "VALUES (255, 'last', '', 8)");
  // Ids 1, 2 and 4 are named by keys (4 in another profile); 3 is the lowest free one.
  for (int id : {1, 2, 4})
    Raw().Exec("INSERT INTO t_key_data(profile, keyvalue, fnlayer, macrotype, macrovalue) VALUES (" +
               std::to_string(id) + ", 30, 0, " + std::to_string(7 + id % 4 + 1) + ", " + std::to_string(id) +
               ")");
  Raw().Exec(
      "INSERT INTO t_key_data(profile, keyvalue, fnlayer, macrotype, macrovalue) "
      "VALUES (1, 31, 0, 2, 3)");  // a plain key remap, not an action
  Raw().Exec(
      "INSERT INTO t_key_otherdata(macro_value, macro_desc, param, type) "
      "VALUES (3, 'old', 'old', 9)");
  EXPECT_EQ(store_.InsertKeyOtherData(L"new", L"https://example.org/ü", 8), 3);
  std::wstring desc, param;
  int type = 0;
  store_.GetKeyOtherData(3, &desc, &param, &type);
  EXPECT_EQ(desc + L" " + param + L" " + std::to_wstring(type), L"new https://example.org/ü 8");
  EXPECT_EQ(Raw().Int("SELECT max(macro_value) FROM t_key_otherdata"), 255);

  Raw().Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 255) "
      "INSERT INTO t_key_data(profile, keyvalue, fnlayer, macrotype, macrovalue) "
      "SELECT 9, i, 0, 10, i FROM n");
  const int before = Raw().Int("SELECT count(*) FROM t_key_otherdata");
  EXPECT_EQ(store_.InsertKeyOtherData(L"full", L"", 8), 0);
  EXPECT_EQ(Raw().Int("SELECT count(*) FROM t_key_otherdata"), before);
}

TEST_F(TablesTest, TextRoundTripsAndInvalidStoredBytesReadAsEmpty) {
  const std::wstring names[] = {L"plain", L"中文配置", L"emoji \U0001F3B9 and \u00e9"};
  for (const std::wstring& name : names) {
    const int id = store_.NewMacro(name);
    MacroDataRow macro;
    ASSERT_TRUE(store_.GetMacro(id, &macro));
    EXPECT_EQ(macro.name, name);
  }
  EXPECT_TRUE(store_.RenameMacro(1, std::wstring(L"cut\0here", 8)));
  EXPECT_EQ(Raw().Rows("SELECT name FROM t_macro_data WHERE macro_id = 1"), Rows{"cut"});
  EXPECT_TRUE(store_.RenameMacro(2, std::wstring(1, static_cast<wchar_t>(0xDC00))));
  EXPECT_EQ(Raw().Rows("SELECT hex(name) FROM t_macro_data WHERE macro_id = 2"), Rows{"EFBFBD"});

  Raw().Exec("UPDATE t_macro_data SET name = CAST(X'41C3' AS TEXT) WHERE macro_id = 3");
  MacroDataRow macro;
  macro.name = L"before";
  ASSERT_TRUE(store_.GetMacro(3, &macro));
  EXPECT_EQ(macro.name, L"");
  EXPECT_EQ(Raw().Rows("SELECT hex(name) FROM t_macro_data WHERE macro_id = 3"), Rows{"41C3"});
}

TEST_F(TablesTest, SelectionOfAMissingRowLeavesNothingSelected) {
  store_.InitProfileLightData(1);
  EXPECT_TRUE(store_.SelectLightMode(1, 4));
  EXPECT_EQ(store_.GetSelectedLightMode(1), 4);
  EXPECT_TRUE(store_.SelectLightMode(1, 99));
  EXPECT_EQ(store_.GetSelectedLightMode(1), 0);
  EXPECT_EQ(store_.GetSelectedMusicLayer(1), 1);
  EXPECT_TRUE(store_.SelectMusicLayer(1, 42));
  EXPECT_EQ(store_.GetSelectedMusicLayer(1), 0);

  const std::uint8_t block[8] = {99, 2, 10, 20, 30, 40, 50, 60};
  EXPECT_TRUE(store_.UpdateLightData(1, 4, block));
  EXPECT_EQ(Raw().Rows("SELECT mode, colortype, byte2, byte7 FROM t_light_data WHERE mode = 4"),
            Rows{"4|2|10|60"});
}

}  // namespace
