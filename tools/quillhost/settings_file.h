// The effect's parameter block in a file, as the filter's IPersistStream
// writes it: what --save-settings writes and --settings reads back.
#pragma once

#include <string>

#include "streaming/platform.h"

namespace quill {

// Loads `path` into the filter. A missing file, one whose size is not the
// filter's stream size, or one that Load refuses gives the failure, with a
// message naming the file and the code in `error`.
HRESULT LoadSettingsFile(IBaseFilter* filter, const std::string& path, std::string& error);

// Saves the filter's block to `path` through a temporary file beside it, so
// that a failure leaves an earlier file as it was.
HRESULT SaveSettingsFile(IBaseFilter* filter, const std::string& path, std::string& error);

}  // namespace quill
