// The effect's settings pages in the platform's property frame, modal, with
// the filter as the one object the pages edit.
#pragma once

#include <string>

#include "streaming/platform.h"
#include "tools/common/effect_catalog.h"

namespace quill {

struct PageOutcome {
  std::wstring caption;  // what the frame was asked to show
  bool closedByTimer = false;
  std::wstring frameTitle;  // the window the timer closed
};

// Returns when the frame closes. Every page the filter lists is created
// once first: the platform's frame skips a page it cannot create and would
// show an empty frame instead of failing. With `timeoutMs` > 0 a timer
// presses OK on the frame after that long, for scripts and tests. The
// failure, if any, is described in `error`.
HRESULT ShowSettingsPages(const HostEffect& effect, IBaseFilter* filter, unsigned timeoutMs, PageOutcome& outcome,
                          std::string& error);

}  // namespace quill
