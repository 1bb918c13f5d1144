// The settings pages' calls into the platform's help viewer, in one place:
// where the help file is, the contents and page topics, a control's popup,
// and closing the viewer when a page goes away.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/help_table.h"

namespace quill {

// The help file beside a module: the module's full file name with
// everything after the last ':' or '\' replaced by the help file's name,
// at most MAX_PATH characters in all.
std::wstring HelpFileBeside(HMODULE module);

// Opens the viewer on a topic by context number.
bool ShowHelpTopic(HWND owner, const std::wstring& helpFile, std::uint32_t context);

// Context help for a control listed in a page's help table: the platform's
// popup for the control. Some viewers refuse that command; the control's
// topic then opens in the viewer's window instead, so F1 never comes to
// nothing.
bool ShowControlHelp(HWND control, const std::wstring& helpFile, const HelpPair* table);

// Closes the viewer for this file, if it is open.
void CloseHelp(HWND owner, const std::wstring& helpFile);

}  // namespace quill
