// The store's tables and indexes. Columns stay in this order: the getters read "SELECT *" by
// position.
#include "storage/config_internal.h"

// Indexes on the columns that loads and deletes filter by. Each one holds the columns that every
// query using it compares for equality, followed at most by the column it is ordered by, so rows
// still come out in the order a table scan (and its stable sort) gives them: ties in row-id order. They are
// run on every open too: files made before they existed gain them, and an index changes nothing an earlier
// reader of the file sees.
const std::vector<std::string>& ConfigLookupIndexStatements() {
  static const std::vector<std::string> statements = {
      "CREATE INDEX IF NOT EXISTS configprofileindex ON t_configdata(profile, key)",
      "CREATE INDEX IF NOT EXISTS lightprofileindex ON t_light_data(profile)",
      "CREATE INDEX IF NOT EXISTS keyrgblightindex ON t_key_rgb_data(light_id)",
      "CREATE INDEX IF NOT EXISTS keydataprofileindex ON t_key_data(profile, fnlayer)",
      "CREATE INDEX IF NOT EXISTS macrorecordmacroindex ON t_macrorecord(macro_id, record_index)",
      "CREATE INDEX IF NOT EXISTS customlightprofileindex ON t_customlight_data(profile)",
      "CREATE INDEX IF NOT EXISTS customlightmodeprofileindex ON t_customlightmode_data(profile)",
      "CREATE INDEX IF NOT EXISTS customrgblightindex ON t_customrgb_data(customlight_id)",
      "CREATE INDEX IF NOT EXISTS custommodergblightindex ON t_custommodergb_data(customlight_id)",
      "CREATE INDEX IF NOT EXISTS musiclayerprofileindex ON t_musiclayer_data(profile)",
      "CREATE INDEX IF NOT EXISTS ledlayerprofileindex ON t_ledlayer_data(profile)",
      "CREATE INDEX IF NOT EXISTS ledframeledindex ON t_ledframe_data(led_id, frame_index)",
  };
  return statements;
}

const std::vector<std::string>& ConfigSchemaStatements() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE IF NOT EXISTS t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, key TEXT, value TEXT)",
      "CREATE TABLE IF NOT EXISTS t_light_data(light_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, name TEXT, mode INTEGER, colortype INTEGER, byte2 INTEGER, byte3 INTEGER, "
      "byte4 INTEGER, byte5 INTEGER, byte6 INTEGER, byte7 INTEGER, sel INTEGER)",
      "CREATE INDEX IF NOT EXISTS lightindex ON t_light_data(light_id)",
      "CREATE TABLE IF NOT EXISTS t_key_rgb_data(rgb_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "light_id INTEGER, keycode INTEGER, rgbvalue INTEGER)",
      "CREATE INDEX IF NOT EXISTS rgbindex ON t_key_rgb_data(rgb_id)",
      "CREATE TABLE IF NOT EXISTS t_keyprofile(profile_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "name TEXT, app TEXT, type INTEGER)",
      "CREATE INDEX IF NOT EXISTS keyprofileindex ON t_keyprofile(profile_id)",
      "CREATE TABLE IF NOT EXISTS t_key_data(key_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, keyvalue INTEGER, fnlayer INTEGER, layoutkeyvalue INTEGER, "
      "layoutkeydesc TEXT, macrotype INTEGER, macrovalue INTEGER, macro2value INTEGER, "
      "macro3value INTEGER, macrodesc TEXT)",
      "CREATE INDEX IF NOT EXISTS keyindex ON t_key_data(key_id)",
      "CREATE TABLE IF NOT EXISTS t_macro_data(macro_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "play_times INTEGER, delay_type INTEGER, delay_time INTEGER, name TEXT)",
      "CREATE INDEX IF NOT EXISTS macroidindex ON t_macro_data(macro_id)",
      "CREATE TABLE IF NOT EXISTS t_macrorecord(record_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "macro_id INTEGER, type INTEGER, record_index INTEGER, desc TEXT, value INTEGER)",
      "CREATE INDEX IF NOT EXISTS macrorecordindex ON t_macrorecord(record_id)",
      "CREATE TABLE IF NOT EXISTS t_key_otherdata(macro_value INTEGER PRIMARY KEY AUTOINCREMENT, "
      "macro_desc TEXT, param TEXT, type INTEGER)",
      "CREATE INDEX IF NOT EXISTS otheridindex ON t_key_otherdata(macro_value)",
      "CREATE TABLE IF NOT EXISTS t_customlight_data(customlight_id INTEGER PRIMARY KEY "
      "AUTOINCREMENT, profile INTEGER, name TEXT, speed INTEGER, brightness INTEGER)",
      "CREATE INDEX IF NOT EXISTS customlightindex ON t_customlight_data(customlight_id)",
      "CREATE TABLE IF NOT EXISTS t_customlightmode_data(customlight_id INTEGER PRIMARY KEY "
      "AUTOINCREMENT, profile INTEGER, name TEXT, brightness INTEGER)",
      "CREATE INDEX IF NOT EXISTS customlightmodeindex ON t_customlightmode_data(customlight_id)",
      "CREATE TABLE IF NOT EXISTS t_customrgb_data(customrgb_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "customlight_id INTEGER, keycode INTEGER, rgbvalue INTEGER, light_mode INTEGER, "
      "colortype INTEGER, light_type INTEGER)",
      "CREATE INDEX IF NOT EXISTS customrgbindex ON t_customrgb_data(customrgb_id)",
      "CREATE TABLE IF NOT EXISTS t_custommodergb_data(customrgb_id INTEGER PRIMARY KEY "
      "AUTOINCREMENT, customlight_id INTEGER, keycode INTEGER, rgbvalue INTEGER, "
      "light_mode INTEGER, colortype INTEGER, light_type INTEGER)",
      "CREATE TABLE IF NOT EXISTS t_musiclayer_data(layer_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, name TEXT, deviceindex INTEGER, foremode INTEGER, fore_amplitude INTEGER, "
      "backmode INTEGER, backb_right INTEGER, sel INTEGER)",
      "CREATE INDEX IF NOT EXISTS musiclayerindex ON t_musiclayer_data(layer_id)",
      "CREATE TABLE IF NOT EXISTS t_ledlayer_data(led_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "profile INTEGER, type INTEGER, name TEXT, frame_size INTEGER, file_dir TEXT, "
      "first_file TEXT)",
      "CREATE TABLE IF NOT EXISTS t_ledframe_data(frame_id INTEGER PRIMARY KEY AUTOINCREMENT, "
      "led_id INTEGER, name TEXT, delay_time INTEGER, frame_index INTEGER, file_name TEXT)",
  };
  return statements;
}
