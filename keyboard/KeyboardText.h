// The keyboard window's texts: section "KB.DIALOG" of the current UI language.
#pragma once

#include <string>

#include "common/lang_text.h"

// Text `id` of the keyboard window in the current language; empty when the language file lacks it.
inline std::wstring KbText(int id) {
  std::wstring text;
  GetLangText(&text, id, L"KB.DIALOG");
  return text;
}
