#include "framework/context_help.h"

namespace quill {
namespace {

constexpr wchar_t kHelpFileName[] = L"QUILLFX1.HLP";

// The viewer answers a missing or unreadable file with a modal message box
// inside the call, and the page would wait on it; a file that is not there
// is not offered to it.
bool HelpFileExists(const std::wstring& helpFile) {
  const DWORD attributes = GetFileAttributesW(helpFile.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring HelpFileBeside(HMODULE module) {
  wchar_t name[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kHelpFileName;
  std::wstring path(name, length);
  const std::size_t cut = path.find_last_of(L":\\");
  path.resize(cut == std::wstring::npos ? 0 : cut + 1);
  path += kHelpFileName;
  if (path.size() > MAX_PATH) path.resize(MAX_PATH);
  return path;
}

bool ShowHelpTopic(HWND owner, const std::wstring& helpFile, std::uint32_t context) {
  if (!HelpFileExists(helpFile)) return false;
  return WinHelpW(owner, helpFile.c_str(), HELP_CONTEXT, context) != FALSE;
}

bool ShowControlHelp(HWND control, const std::wstring& helpFile, const HelpPair* table) {
  if (!HelpFileExists(helpFile)) return false;
  if (WinHelpW(control, helpFile.c_str(), HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(table))) return true;
  const std::uint32_t context = HelpContextFor(table, static_cast<std::uint32_t>(GetDlgCtrlID(control)));
  if (context == 0) return false;
  return WinHelpW(control, helpFile.c_str(), HELP_CONTEXT, context) != FALSE;
}

void CloseHelp(HWND owner, const std::wstring& helpFile) {
  WinHelpW(owner, helpFile.c_str(), HELP_QUIT, 0);
}

}  // namespace quill
