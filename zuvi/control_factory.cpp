#include "zuvi/control_factory.h"

#include <functional>
#include <utility>

#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/custom_light_mode.h"
#include "zuvi/edit.h"
#include "zuvi/image_view.h"
#include "zuvi/image_view_list.h"
#include "zuvi/key_func_control.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/lcd_palettes.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/tab.h"
#include "zuvi/views.h"

namespace {

using Maker = std::unique_ptr<MControl> (*)();

template <typename T>
std::unique_ptr<MControl> Make() {
  return std::make_unique<T>();
}

// Class names as the windows spell them.
const std::pair<const wchar_t*, Maker> kClasses[] = {
    {L"MText", Make<MText>},
    {L"MPicture", Make<MPicture>},
    {L"CArea", Make<CArea>},
    {L"CGifPicture", Make<CGifPicture>},
    {L"MButton", Make<MButton>},
    {L"CImageButton", Make<CImageButton>},
    {L"CTextButton", Make<CTextButton>},
    {L"CCheckButton", Make<CCheckButton>},
    {L"CRadioButton", Make<CRadioButton>},
    {L"CColorButton", Make<CColorButton>},
    {L"CSwitchButton", Make<CSwitchButton>},
    {L"KeyLayerButton", Make<KeyLayerButton>},
    {L"CHelpButton", Make<CHelpButton>},
    {L"DownloadButton", Make<DownloadButton>},
    {L"UpgradeButton", Make<UpgradeButton>},
    {L"MEdit", Make<MEdit>},
    {L"MComboBox", Make<MComboBox>},
    {L"MSlider", Make<MSlider>},
    {L"MProgress", Make<MProgress>},
    {L"QelListBox", Make<QelListBox>},
    {L"CRecordList", Make<CRecordList>},
    {L"MTabLayout", Make<MTabLayout>},
    {L"MTabCtrl", Make<MTabCtrl>},
    {L"CDeviceCtrl", Make<CDeviceCtrl>},
    {L"CirclePalette", Make<CirclePalette>},
    {L"KeyboardCtrl", Make<KeyboardCtrl>},
    {L"CustomLightMode", Make<CustomLightMode>},
    {L"KeyFuncControl", Make<KeyFuncControl>},
    {L"LCDViewList", Make<LCDViewList>},
    {L"ImageView", Make<ImageView>},
    {L"ImageViewList", Make<ImageViewList>},
    {L"LCDPalette2", Make<LCDPalette2>},
    {L"LCDPalette3", Make<LCDPalette3>},
};

}  // namespace

std::unique_ptr<MControl> CreateControlByName(const std::wstring& className) {
  for (const auto& [name, make] : kClasses)
    if (className == name) return make();
  return nullptr;
}

std::vector<std::wstring> KnownControlClasses() {
  std::vector<std::wstring> names;
  for (const auto& [name, make] : kClasses) names.emplace_back(name);
  return names;
}
