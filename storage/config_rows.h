// Row records of the configuration store, one per table. Getters build them with `new`; whoever
// holds a list owns its records and frees them with FreeRows (a list getter refills or frees what
// the list held before). Every number starts at 0 and every text empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// t_light_data: one lighting mode of a profile. mode..byte7 form the 8-byte light-mode block
// that is sent to the keyboard.
struct LightDataRow {
  int light_id = 0;
  int profile = 0;
  std::wstring name;
  std::uint8_t mode = 0;
  std::uint8_t colortype = 0;
  std::uint8_t byte2 = 0;
  std::uint8_t byte3 = 0;
  std::uint8_t byte4 = 0;
  std::uint8_t byte5 = 0;
  std::uint8_t byte6 = 0;
  std::uint8_t byte7 = 0;
  int sel = 0;
};

// t_key_rgb_data: the colour of one key (USB HID usage) in a built-in light mode.
struct KeyRgbRow {
  int rgb_id = 0;
  int light_id = 0;
  int keycode = 0;
  int rgbvalue = 0;
};

// t_customlight_data: a custom light effect.
struct CustomLightRow {
  int customlight_id = 0;
  int profile = 0;
  std::wstring name;
  int speed = 0;
  int brightness = 0;
};

// t_customlightmode_data: a custom light mode, with the same fields as an effect. The store fills
// only the first three; speed has no column and the brightness is read with
// GetCustomLightModeBrightness.
struct CustomLightModeRow : CustomLightRow {};

// t_customrgb_data and t_custommodergb_data: one key of a custom effect or mode.
struct CustomRgbRow {
  int customrgb_id = 0;
  int customlight_id = 0;
  int keycode = 0;
  int rgbvalue = 0;
  int light_mode = 0;
  int colortype = 0;
  int light_type = 0;
};

// t_musiclayer_data without its sel column.
struct MusicLayerRow {
  int layer_id = 0;
  int profile = 0;
  std::wstring name;
  int deviceindex = 0;
  int foremode = 0;
  int fore_amplitude = 0;
  int backmode = 0;
  int backb_right = 0;
};

// t_keyprofile. type 1: built-in layout; type 2: user profile.
struct KeyProfileRow {
  int profile_id = 0;
  std::wstring name;
  std::wstring app;
  int type = 0;
};

// t_key_data: what one physical key (keyvalue, a USB HID usage) does in one Fn layer of a key
// profile (profile is a t_keyprofile id).
struct KeyDataRow {
  int key_id = 0;
  int profile = 0;
  int keyvalue = 0;
  int fnlayer = 0;
  int layoutkeyvalue = 0;
  std::wstring layoutkeydesc;
  int macrotype = 0;
  int macrovalue = 0;
  int macro2value = 0;
  int macro3value = 0;
  std::wstring macrodesc;
};

// t_macro_data. The fields are not in column order (the name comes last in the table).
struct MacroDataRow {
  int macro_id = 0;
  std::wstring name;
  int play_times = 0;
  int delay_type = 0;
  int delay_time = 0;
};

// t_macrorecord: one event of a macro. value comes before desc, unlike the columns.
struct MacroRecordRow {
  int record_id = 0;
  int macro_id = 0;
  int type = 0;
  int record_index = 0;
  int value = 0;
  std::wstring desc;
};

// t_ledlayer_data: one screen animation slot.
struct LedLayerRow {
  int led_id = 0;
  int profile = 0;
  int type = 0;
  std::wstring name;
  int frame_size = 0;
  std::wstring file_dir;
  std::wstring first_file;
};

// t_ledframe_data: one frame of a slot.
struct LedFrameRow {
  int frame_id = 0;
  int led_id = 0;
  std::wstring name;
  int delay_time = 0;
  int frame_index = 0;
  std::wstring file_name;
};

// Deletes every record of `rows` and empties it.
template <class T>
void FreeRows(std::vector<T*>& rows) {
  for (T* row : rows) delete row;
  rows.clear();
}
