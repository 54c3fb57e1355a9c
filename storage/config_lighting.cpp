// Light modes (t_light_data), their per-key colours (t_key_rgb_data) and music layers
// (t_musiclayer_data).
#include "storage/config_internal.h"

bool ConfigDB::UpdateLightData(int profile, int mode, const std::uint8_t block[8]) {
  return Write(
      "UPDATE t_light_data SET colortype = ?, byte2 = ?, byte3 = ?, byte4 = ?, "
      "byte5 = ?, byte6 = ?, byte7 = ? WHERE profile = ? AND mode = ?",
      {block[1], block[2], block[3], block[4], block[5], block[6], block[7], profile, mode});
}

bool ConfigDB::SelectLightMode(int profile, int mode) {
  return Atomically([&] {
    return Write("UPDATE t_light_data SET sel = ? WHERE profile = ?", {0, profile}) &&
           Write("UPDATE t_light_data SET sel = ? WHERE profile = ? AND mode = ?", {1, profile, mode});
  });
}

int ConfigDB::GetSelectedLightMode(int profile) {
  return FirstInt("SELECT mode FROM t_light_data WHERE profile = ? AND sel = ?", {profile, 1});
}

bool ConfigDB::GetLightData(int profile, int mode, LightDataRow* out) {
  return ReadFirst("SELECT * FROM t_light_data WHERE profile = ? AND mode = ?", {profile, mode},
                   [&](SQLiteStatement& row) {
                     out->light_id = row.GetInt(0);
                     out->profile = row.GetInt(1);
                     out->name = Utf8ToWide(row.GetText(2));
                     std::uint8_t* bytes[] = {&out->mode,  &out->colortype, &out->byte2, &out->byte3,
                                              &out->byte4, &out->byte5,     &out->byte6, &out->byte7};
                     for (int i = 0; i < 8; ++i) *bytes[i] = static_cast<std::uint8_t>(row.GetInt(3 + i));
                     out->sel = row.GetInt(11);
                   });
}

int ConfigDB::SetKeyRgb(KeyRgbRow row) {
  return ReplaceByKey("DELETE FROM t_key_rgb_data WHERE light_id = ? AND keycode = ?",
                      {row.light_id, row.keycode}, row.rgbvalue != 0,
                      "INSERT INTO t_key_rgb_data(light_id, keycode, rgbvalue) VALUES (?, ?, ?);",
                      {row.light_id, row.keycode, row.rgbvalue});
}

int ConfigDB::GetKeyRgbList(int light_id, std::vector<KeyRgbRow*>& out) {
  return ReadList("SELECT * FROM t_key_rgb_data WHERE light_id = ?", {light_id}, out,
                  [](SQLiteStatement& row, KeyRgbRow& rgb) {
                    rgb.rgb_id = row.GetInt(0);
                    rgb.light_id = row.GetInt(1);
                    rgb.keycode = row.GetInt(2);
                    rgb.rgbvalue = row.GetInt(3);
                  });
}

int ConfigDB::NewMusicLayer(int profile, const std::wstring& name) {
  return Insert(
      "INSERT INTO t_musiclayer_data(profile, name, deviceindex, foremode, "
      "fore_amplitude, backmode, backb_right, sel) VALUES (?, ?, ?, ?, ?, ?, ?, ?);",
      {profile, name, 0, 19, 300, 0, 100, 0});
}

bool ConfigDB::DeleteMusicLayer(int layer_id) {
  return Write("DELETE FROM t_musiclayer_data WHERE layer_id = ?", {layer_id});
}

bool ConfigDB::RenameMusicLayer(int layer_id, const std::wstring& name) {
  return Write("UPDATE t_musiclayer_data SET name = ? WHERE layer_id = ?", {name, layer_id});
}

int ConfigDB::GetMusicLayers(int profile, std::vector<MusicLayerRow*>& out) {
  return ReadList("SELECT * FROM t_musiclayer_data WHERE profile = ?", {profile}, out,
                  [](SQLiteStatement& row, MusicLayerRow& layer) {
                    layer.layer_id = row.GetInt(0);
                    layer.profile = row.GetInt(1);
                    layer.name = Utf8ToWide(row.GetText(2));
                  });
}

bool ConfigDB::GetMusicLayer(int layer_id, MusicLayerRow* out) {
  return ReadFirst("SELECT * FROM t_musiclayer_data WHERE layer_id = ?", {layer_id},
                   [&](SQLiteStatement& row) {
                     out->layer_id = row.GetInt(0);
                     out->profile = row.GetInt(1);
                     out->name = Utf8ToWide(row.GetText(2));
                     out->deviceindex = row.GetInt(3);
                     out->foremode = row.GetInt(4);
                     out->fore_amplitude = row.GetInt(5);
                     out->backmode = row.GetInt(6);
                     out->backb_right = row.GetInt(7);
                   });
}

bool ConfigDB::UpdateMusicLayer(int layer_id, const MusicLayerRow* row) {
  return Write(
      "UPDATE t_musiclayer_data SET deviceindex= ?, foremode= ?, fore_amplitude = ?, "
      "backmode= ?, backb_right= ? WHERE layer_id = ?",
      {row->deviceindex, row->foremode, row->fore_amplitude, row->backmode, row->backb_right, layer_id});
}

bool ConfigDB::SelectMusicLayer(int profile, int layer_id) {
  return Atomically([&] {
    return Write("UPDATE t_musiclayer_data SET sel = ? WHERE profile = ?", {0, profile}) &&
           Write("UPDATE t_musiclayer_data SET sel = ? WHERE profile = ? AND layer_id = ?",
                 {1, profile, layer_id});
  });
}

int ConfigDB::GetSelectedMusicLayer(int profile) {
  return FirstInt("SELECT layer_id FROM t_musiclayer_data WHERE profile = ? AND sel = ?", {profile, 1});
}
