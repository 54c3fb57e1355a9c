#include "keyboard/MacroExchange.h"

#include <algorithm>
#include <cstdint>

#include "common/strings.h"
#include "common/xml_detail.h"
#include "common/xml_document.h"
#include "device/MacroImage.h"
#include "keyboard/ExchangeText.h"

namespace macro_exchange {

namespace {

using exchange_text::Attr;
using exchange_text::NumberAttr;

}  // namespace

std::u16string BuildMacroFile(const MacroDataRow& macro, const std::vector<MacroRecordRow>& events) {
  std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<macro>\r\n";
  text += u"<macroinfo" + Attr(u"name", macro.name) + Attr(u"times", macro.play_times) +
          Attr(u"type", macro.delay_type) + Attr(u"delaytime", macro.delay_time) + u"/>\r\n";
  if (events.empty()) {
    text += u"<macroitems/>\r\n";
  } else {
    text += u"<macroitems>\r\n";
    for (const MacroRecordRow& event : events)
      text += u"<item" + Attr(u"desc", event.desc) + Attr(u"type", event.type) + Attr(u"value", event.value) +
              u"/>\r\n";
    text += u"</macroitems>\r\n";
  }
  text += u"</macro>\r\n";
  return text;
}

bool ParseMacroFile(const std::u16string& text, ParsedMacro* out) {
  XmlDocument doc;
  if (!doc.SetDocumentText(text)) return false;
  if (!doc.FindElement(L"macro") || !doc.EnterElement()) return false;
  ParsedMacro parsed;
  bool hasInfo = false;
  // One walk over the root's children, so the two parts may come in either order.
  while (doc.FindElement(L"")) {
    const std::wstring child = doc.GetElementName(doc.GetCurrentElement());
    if (child == L"macroinfo" && !hasInfo) {
      hasInfo = true;
      doc.GetAttribute(parsed.macro.name, L"name");
      parsed.macro.play_times = NumberAttr(doc, L"times");
      parsed.macro.delay_type = NumberAttr(doc, L"type");
      parsed.macro.delay_time = NumberAttr(doc, L"delaytime");
    } else if (child == L"macroitems" && !parsed.hasItems) {
      parsed.hasItems = true;
      if (!doc.EnterElement()) continue;
      while (doc.FindElement(L"item")) {
        MacroRecordRow event;
        doc.GetAttribute(event.desc, L"desc");
        event.type = NumberAttr(doc, L"type");
        event.value = NumberAttr(doc, L"value");
        event.record_index = static_cast<int>(parsed.events.size());
        parsed.events.push_back(std::move(event));
      }
      doc.LeaveElement();
    }
  }
  if (!hasInfo) return false;
  *out = std::move(parsed);
  return true;
}

std::wstring ExportFileName(const std::wstring& folder, const std::wstring& shownName, std::uint32_t tick) {
  std::wstring name = shownName;
  for (wchar_t& c : name)
    if (c == L'/' || c == L'\\' || c < 0x20 || c == 0x7F) c = L'_';
  if (name.empty() || name == L"." || name == L"..") name = L"_";
  return folder + name + L"-" + std::to_wstring(tick) + L".xml";
}

bool FitsMacroMemory(const std::vector<MacroRecordRow>& events) {
  MacroImageInput input;
  input.storedRecords = static_cast<int>(std::min<size_t>(events.size(), INT32_MAX));
  input.listedMacros = 1;
  // The estimate alone refuses a long list before its image is built.
  input.macros.push_back(events.size() <= kMacroImageSize ? events : std::vector<MacroRecordRow>{});
  return events.size() <= kMacroImageSize && BuildMacroImage(input).status == MacroImageStatus::kBuilt;
}

}  // namespace macro_exchange
