#include "platform/input/key_names.h"

namespace platform::input {

namespace {

struct Named {
  int key;
  const wchar_t* name;
};

constexpr Named kNames[] = {
    {8, L"Backspace"},   {9, L"Tab"},       {13, L"Enter"},     {27, L"Esc"},      {32, L"Space"},
    {20, L"Caps Lock"},  {145, L"Scroll Lock"}, {33, L"Page Up"}, {34, L"Page Down"}, {35, L"End"},
    {36, L"Home"},       {37, L"Left"},     {38, L"Up"},        {39, L"Right"},    {40, L"Down"},
    {45, L"Insert"},     {46, L"Delete"},   {106, L"Num *"},    {107, L"Num +"},   {109, L"Num -"},
    {110, L"Num Del"},   {111, L"Num /"},   {186, L";"},        {187, L"="},       {188, L","},
    {189, L"-"},         {190, L"."},       {191, L"/"},        {192, L"`"},       {219, L"["},
    {220, L"\\"},        {221, L"]"},       {222, L"'"},        {226, L"\\"},
};

}  // namespace

std::wstring KeyName(int key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, static_cast<wchar_t>(key));
  if (key >= 112 && key <= 135) return L"F" + std::to_wstring(key - 111);
  if (key >= 96 && key <= 105) return L"Num " + std::to_wstring(key - 96);
  for (const Named& n : kNames)
    if (n.key == key) return n.name;
  return {};
}

}  // namespace platform::input
