// A pure parser of HID report descriptors that yields, per top-level collection, its usage and
// the report lengths that Windows' HID capabilities would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/hid/hid_backend.h"

namespace platform::hid {

// Limits past which a descriptor is taken as absurd (those of the Linux HID core).
inline constexpr size_t kMaxDescriptorSize = 4096;
inline constexpr size_t kMaxReportBytes = 16384;

// Parses `size` bytes. For each top-level collection and report type, the bits of the main items
// of each report id are summed (Report Size x Report Count), rounded up to bytes; the length is the
// largest over the ids plus one byte for the id, also when the descriptor uses no ids. Push/Pop,
// long items and 32-bit usages are handled. nullopt for a truncated or absurd descriptor
// (unbalanced collections or Pop, report id 0 or above 255, sizes past the limits above).
std::optional<std::vector<HidCollection>> ParseReportDescriptor(const uint8_t* data, size_t size);

}  // namespace platform::hid
