// The help text's source: topics with a context number, a context name and a
// title, each a list of paragraphs whose spans are plain text or jumps to
// another topic by its context name. Text is held in the viewer's code page
// (Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::help {

struct Span {
  std::string text;
  std::string jumpTo;  // a context name; empty for plain text
};

using Paragraph = std::vector<Span>;

struct Topic {
  std::uint32_t number = 0;
  std::string name;
  std::string title;
  std::vector<Paragraph> paragraphs;
  int line = 0;  // where the topic starts in the source
};

struct HelpSource {
  std::string title;
  std::vector<Topic> topics;  // in source order; the first is the contents
};

// Reads the source. On a fault returns false with `error` as
// "<file>:<line>: <what is wrong>"; nothing is ever silently dropped.
bool ParseHelpSource(std::string_view text, const std::string& fileName, HelpSource& out, std::string& error);

}  // namespace quill::help
