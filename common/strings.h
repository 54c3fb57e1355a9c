// Wide strings and their conversions. A wide string is std::wstring (UTF-32 here); text in files
// and in the database is UTF-8. The codecs are our own so that results never depend on the locale.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

// UTF-8 of `text`, ending at its first NUL. A surrogate or a value above U+10FFFF is written as
// U+FFFD.
std::string WideToUtf8(std::wstring_view text);
std::string WideToUtf8(const wchar_t* text);  // null gives ""

// Strict decoding: empty for a null pointer, an empty text or any invalid UTF-8 (a stray or
// missing continuation byte, an overlong form, an encoded surrogate, a value above U+10FFFF).
std::wstring Utf8ToWide(const char* text);
std::wstring Utf8ToWide(std::string_view text);

// Lenient decoding for text files that the user may have edited: each invalid sequence becomes
// U+FFFD and decoding goes on.
std::wstring Utf8ToWideLenient(std::string_view text);

// swprintf into a string of any length. As with glibc's swprintf, a wide string argument is
// "%ls" and a narrow one "%s". An invalid format gives "".
std::wstring FormatW(const wchar_t* format, ...);
std::wstring FormatWV(const wchar_t* format, va_list args);

// _wtoi: leading blanks, an optional sign, then decimal digits up to the first other character;
// 0 when there are none; the result saturates at INT_MIN and INT_MAX. Null gives 0.
int WToI(const wchar_t* text);
inline int WToI(const std::wstring& text) { return WToI(text.c_str()); }

// ASCII-only case folding, for names that must match case-insensitively (section names, keys).
std::wstring AsciiLower(std::wstring text);
std::string AsciiLower(std::string text);
