// Writes a help file the platform's help viewer opens: the internal file
// system with its directory, the system record, the topic text (plain, no
// compression), the context hash tree, the context-number map and the font
// table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/quillhelp/help_source.h"

namespace quill::help {

// The viewer's hash of a context name (letters fold to one case; '.', '_'
// and digits count; anything else is skipped).
std::int32_t ContextHash(std::string_view name);

// Builds the file. Returns false with `error` set when the text cannot be
// stored (two names with one hash, more contexts than one tree page holds).
bool WriteHelpFile(const HelpSource& source, std::uint32_t buildTime, std::vector<std::uint8_t>& out,
                   std::string& error);

}  // namespace quill::help
