#include "zuvi/lcd_palettes.h"

#include <QPainter>

void LCDPaletteBase::SetSelectColor(std::uint32_t colour) {
  {
    std::lock_guard guard(lock_);
    colour_ = colour;
    OnColorSet(colour);
  }
  RequestSync();
}

std::uint32_t LCDPaletteBase::GetSelectColor() const { return GetState(colour_); }

bool LCDPaletteBase::UserPick(POINT) { return false; }

void LCDPaletteBase::OnInput(const MouseInput&) {}

void LCDPaletteBase::OnDragBegin(POINT) {}

void LCDPaletteBase::OnDragMove(POINT) {}

void LCDPaletteBase::OnDragEnd(POINT) {}

bool LCDPaletteBase::PickAt(POINT, bool) { return false; }

bool LCDPalette2::ColorAt(POINT, std::uint32_t*) const { return false; }

void LCDPalette2::Paint(QPainter&, const QRect&) {}

bool LCDPalette3::ColorAt(POINT, std::uint32_t*) const { return false; }

void LCDPalette3::Paint(QPainter&, const QRect&) {}

int LCDPalette3::GetHue() const { return GetState(hue_); }

void LCDPalette3::OnColorSet(std::uint32_t) {}
