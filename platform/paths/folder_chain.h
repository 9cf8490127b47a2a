// Creating a folder together with every missing folder above it.
#pragma once

#include <string>

namespace platform {

// Creates `folder` and each missing folder above it (like `mkdir -p`), with the permissions the
// user's umask allows. True when `folder` exists as a folder afterwards. Otherwise false, and
// `error` (when given) names the folder that failed and the system's reason.
bool MakeFolderChain(const std::string& folder, std::string* error = nullptr);

}  // namespace platform
