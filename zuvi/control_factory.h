// Makes controls by the class names the windows spell ("CImageButton", "MText", ...).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zuvi/control.h"

// A new control of the named class; null for a name the library does not know.
std::unique_ptr<MControl> CreateControlByName(const std::wstring& className);
// Every class name the factory knows.
std::vector<std::wstring> KnownControlClasses();
