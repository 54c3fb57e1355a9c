#include "keyboard/DefaultNames.h"

namespace {

constexpr int kEnglish = 0x409;
constexpr int kChineseSimplified = 0x804;
constexpr int kChineseTraditional = 0x404;

const std::wstring kCnDefault = L"默认配置";
const std::wstring kCnNewScheme = L"新配置方案";
const std::wstring kCnNewMacro = L"新建宏";
const std::wstring kEnDefault = L"New Configuration";
const std::wstring kEnNewScheme = L"New Configuration Scheme";
const std::wstring kEnNewMacro = L"New Macro";

bool IsChinese(int languageId) {
  return languageId == kChineseSimplified || languageId == kChineseTraditional;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The replacement, a blank and the text's last (length - skip) characters; a text no longer
// than `skip` keeps nothing of its own.
std::wstring Renamed(const std::wstring& text, size_t skip, const std::wstring& replacement) {
  const size_t keep = text.size() > skip ? text.size() - skip : 0;
  return replacement + L" " + text.substr(text.size() - keep);
}

}  // namespace

std::wstring DefaultNameRuleA(const std::wstring& text, int languageId, const std::wstring& replacement) {
  if (languageId == kEnglish) return text == kCnDefault || text == kCnNewScheme ? replacement : text;
  if (IsChinese(languageId)) return text == kEnDefault || text == kEnNewScheme ? replacement : text;
  return text;
}

std::wstring DefaultNameRuleB(const std::wstring& text, int languageId, const std::wstring& replacement) {
  if (languageId == kEnglish) return text == kCnNewScheme ? replacement : text;
  return DefaultNameRuleA(text, languageId, replacement);
}

std::wstring DefaultNameRuleC(const std::wstring& text, int languageId, const std::wstring& replacement) {
  if (languageId == kEnglish && StartsWith(text, kCnNewMacro))
    return Renamed(text, kCnNewMacro.size() + 1, replacement);
  if (IsChinese(languageId) && StartsWith(text, kEnNewMacro))
    return Renamed(text, kEnNewMacro.size() + 1, replacement);
  return text;
}

std::wstring DefaultNameRuleD(const std::wstring& text, int languageId, const std::wstring& replacement) {
  if (languageId == kEnglish) {
    if (StartsWith(text, kCnDefault)) return Renamed(text, kCnDefault.size() + 1, replacement);
    if (StartsWith(text, kCnNewScheme)) return Renamed(text, kCnNewScheme.size() + 1, replacement);
  } else if (IsChinese(languageId)) {
    if (StartsWith(text, kEnDefault)) return Renamed(text, kEnDefault.size() + 1, replacement);
    if (StartsWith(text, kEnNewScheme)) return Renamed(text, kEnNewScheme.size() + 1, replacement);
  }
  return text;
}
