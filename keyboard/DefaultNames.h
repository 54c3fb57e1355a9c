// The default names that new profiles, custom light schemes, macros and music modes get, in the
// program's two languages, and the rules that show a row carrying the other language's default
// name in the current language. Pure functions: the display changes, the stored name does not.
//
// Each takes the row's text, the UI language id and the replacement (the current language's
// default name) and returns the text to show. Languages other than English (0x409) and Chinese
// (0x804, 0x404) leave every text as it is.
#pragma once

#include <string>

// Whole names: "默认配置" or "新配置方案" in English, "New Configuration" or "New Configuration
// Scheme" in Chinese, become the replacement. Profile lists.
std::wstring DefaultNameRuleA(const std::wstring& text, int languageId, const std::wstring& replacement);
// As rule A, but in English only "新配置方案" is replaced. Custom light lists.
std::wstring DefaultNameRuleB(const std::wstring& text, int languageId, const std::wstring& replacement);
// Prefixes: a name that begins with the other language's "New Macro" becomes the replacement, a
// blank and what followed the default name and its separator ("新建宏 3" -> "New Macro 3").
// Macro lists.
std::wstring DefaultNameRuleC(const std::wstring& text, int languageId, const std::wstring& replacement);
// Prefixes, as rule C, for the configuration names; the shorter English prefix is tested first.
// Music mode lists.
std::wstring DefaultNameRuleD(const std::wstring& text, int languageId, const std::wstring& replacement);
