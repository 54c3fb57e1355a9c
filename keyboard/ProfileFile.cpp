#include "keyboard/ProfileFile.h"

#include <utility>

#include "common/strings.h"
#include "keyboard/ExchangeText.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/MacroExchange.h"
#include "storage/config_db.h"

namespace {

// The longest file name the file systems we write to take, in bytes.
constexpr size_t kMaxFileNameBytes = 255;
// The safe write first writes a temporary file beside the target, named after it with up to this
// many bytes more (".tmp", a process id and a serial number); that name has to fit as well.
constexpr size_t kTemporaryNameExtra = 22;

// The item attributes in the order they are written.
constexpr const wchar_t* kKeyValue = L"key_value";
constexpr const wchar_t* kFnLayer = L"fnlayer";
constexpr const wchar_t* kLayoutKeyValue = L"layoutkeyvalue";
constexpr const wchar_t* kLayoutKeyDesc = L"layoutkeydesc";
constexpr const wchar_t* kMacroType = L"macro_type";
constexpr const wchar_t* kMacroValue = L"macro_value";
constexpr const wchar_t* kMacro2Value = L"macro_2value";
constexpr const wchar_t* kMacro3Value = L"macro_3value";
constexpr const wchar_t* kMacroDesc = L"macro_desc";

void AddItem(XmlDocument& doc, const KeyDataRow& row) {
  doc.AddElement(L"item");
  const uint32_t item = doc.GetCurrentElement();
  doc.SetAttributeAt(item, kKeyValue, std::to_wstring(row.keyvalue));
  doc.SetAttributeAt(item, kFnLayer, std::to_wstring(row.fnlayer));
  doc.SetAttributeAt(item, kLayoutKeyValue, std::to_wstring(row.layoutkeyvalue));
  doc.SetAttributeAt(item, kLayoutKeyDesc, row.layoutkeydesc);
  doc.SetAttributeAt(item, kMacroType, std::to_wstring(row.macrotype));
  doc.SetAttributeAt(item, kMacroValue, std::to_wstring(row.macrovalue));
  doc.SetAttributeAt(item, kMacro2Value, std::to_wstring(row.macro2value));
  doc.SetAttributeAt(item, kMacro3Value, std::to_wstring(row.macro3value));
  doc.SetAttributeAt(item, kMacroDesc, row.macrodesc);
}

using exchange_text::NumberAttr;

KeyDataRow ReadItem(const XmlDocument& doc) {
  KeyDataRow row;
  row.keyvalue = NumberAttr(doc, kKeyValue);
  row.fnlayer = NumberAttr(doc, kFnLayer);
  row.layoutkeyvalue = NumberAttr(doc, kLayoutKeyValue);
  doc.GetAttribute(row.layoutkeydesc, kLayoutKeyDesc);
  row.macrotype = NumberAttr(doc, kMacroType);
  row.macrovalue = NumberAttr(doc, kMacroValue);
  row.macro2value = NumberAttr(doc, kMacro2Value);
  row.macro3value = NumberAttr(doc, kMacro3Value);
  doc.GetAttribute(row.macrodesc, kMacroDesc);
  return row;
}

// Bytes of `c` in UTF-8 as WideToUtf8 writes it (U+FFFD for a surrogate or a value past U+10FFFF).
size_t Utf8Length(wchar_t c) {
  const auto code = static_cast<uint32_t>(c);
  if (code < 0x80) return 1;
  if (code < 0x800) return 2;
  if (code < 0x10000 || code > 0x10FFFF) return 3;
  return 4;
}

// The walk of a parsed document from its document level.
ProfileReadStatus ReadProfileDocument(XmlDocument& doc, ProfileFileContents* out) {
  if (!doc.FindElement(L"profile")) return ProfileReadStatus::kWrongRoot;
  ProfileFileContents contents;
  if (doc.EnterElement()) {
    bool hasInfo = false;
    bool hasItems = false;
    // One walk over the root's children, so that the two parts may come in either order.
    while (doc.FindElement(L"")) {
      const std::wstring child = doc.GetElementName(doc.GetCurrentElement());
      if (child == L"profileinfo" && !hasInfo) {
        hasInfo = true;
        doc.GetAttribute(contents.name, L"name");
      } else if (child == L"keyitems" && !hasItems) {
        hasItems = true;
        if (!doc.EnterElement()) continue;
        while (doc.FindElement(L"item")) {
          if (contents.rows.size() == kMaxProfileFileItems) return ProfileReadStatus::kTooManyItems;
          contents.rows.push_back(ReadItem(doc));
        }
        doc.LeaveElement();
      }
    }
  }
  *out = std::move(contents);
  return ProfileReadStatus::kOk;
}

}  // namespace

XmlDocument BuildProfileDocument(const std::wstring& name, std::span<const KeyDataRow> layer0,
                                 std::span<const KeyDataRow> layer1) {
  XmlDocument doc(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  doc.AddElement(L"profile");
  doc.EnterElement();
  doc.AddElement(L"profileinfo");
  doc.SetAttributeAt(doc.GetCurrentElement(), L"name", name);
  doc.AddElement(L"keyitems");
  doc.EnterElement();
  for (const KeyDataRow& row : layer0) AddItem(doc, row);
  for (const KeyDataRow& row : layer1) AddItem(doc, row);
  return doc;
}

bool WriteProfileFile(const std::wstring& path, const std::wstring& name, std::span<const KeyDataRow> layer0,
                      std::span<const KeyDataRow> layer1, std::wstring* log) {
  const XmlDocument doc = BuildProfileDocument(name, layer0, layer1);
  std::wstring writeLog;
  // No mark flag: the declaration names UTF-8, so the file is UTF-8 without a byte-order mark.
  const bool written = XmlDocument::WriteTextFile(doc.GetText(), writeLog, path);
  if (!written && log) *log = std::move(writeLog);
  return written;
}

std::wstring ProfileExportFileName(const std::wstring& folder, const std::wstring& listText,
                                   std::uint32_t tick) {
  const std::wstring suffix = L"-" + std::to_wstring(tick) + L".xml";
  const size_t budget = kMaxFileNameBytes - kTemporaryNameExtra - WideToUtf8(suffix).size();
  // Replacing a character by '_' never changes its length here ('/', '\' and control characters
  // are one byte), so the name is cut before it is made safe.
  size_t bytes = 0;
  size_t kept = 0;
  while (kept < listText.size() && bytes + Utf8Length(listText[kept]) <= budget)
    bytes += Utf8Length(listText[kept++]);
  const std::wstring dir = !folder.empty() && folder.back() == L'/' ? folder : folder + L"/";
  return macro_exchange::ExportFileName(dir, listText.substr(0, kept), tick);
}

ProfileReadStatus ParseProfileText(std::u16string text, ProfileFileContents* out) {
  XmlDocument doc;
  if (!doc.SetDocumentText(std::move(text))) return ProfileReadStatus::kMalformed;
  return ReadProfileDocument(doc, out);
}

ProfileReadStatus ReadProfileFile(const std::wstring& path, ProfileFileContents* out) {
  XmlDocument doc;
  if (!XmlDocument::ReadTextFile(doc.Text(), doc.Result(), path)) return ProfileReadStatus::kUnreadable;
  if (!doc.ParseDocument()) return ProfileReadStatus::kMalformed;
  return ReadProfileDocument(doc, out);
}

int StoreImportedProfile(ConfigDB& db, const ProfileFileContents& contents) {
  KeyProfileRow profile;
  profile.name = contents.name;
  std::vector<KeyDataRow> rows = contents.rows;
  // The profile and its rows are one transaction: a failure (or a kill) leaves no empty profile.
  int id = 0;
  const bool stored = db.Atomically([&] {
    id = db.NewKeyProfile(&profile);
    if (id <= 0) return false;
    for (KeyDataRow& row : rows) row.profile = id;
    return db.SetKeyDataList(rows) >= 0;
  });
  if (!stored) {
    KeyboardLog("profiles: the store refused the imported profile with its %zu rows", rows.size());
    return 0;
  }
  return id;
}

const char* ProfileReadStatusName(ProfileReadStatus status) {
  switch (status) {
    case ProfileReadStatus::kOk:
      return "read";
    case ProfileReadStatus::kUnreadable:
      return "not readable";
    case ProfileReadStatus::kMalformed:
      return "not a well-formed document";
    case ProfileReadStatus::kWrongRoot:
      return "not a profile file";
    case ProfileReadStatus::kTooManyItems:
      return "more items than a profile can hold";
  }
  return "unknown";
}
