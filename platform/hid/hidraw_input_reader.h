// Reads input reports straight from a hidraw node (not through hidapi), with an eventfd so that
// another thread can wake a blocked read.
#pragma once

#include <memory>
#include <string>

#include "platform/hid/hid_backend.h"

namespace platform::hid {

// Opens `path` read-write; null on failure, with the reason in *error when given.
std::unique_ptr<HidInputReader> OpenHidrawInputReader(const std::string& path, OpenError* error);

}  // namespace platform::hid
