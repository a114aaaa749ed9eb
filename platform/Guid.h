// Random GUIDs (libuuid) for local event ids. Any thread.
#pragma once

#include <string>

namespace platform {

// A new random GUID as upper-case text in the registry form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string CreateGuidText();

}  // namespace platform
