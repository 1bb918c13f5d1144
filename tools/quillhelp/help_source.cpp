#include "tools/quillhelp/help_source.h"

#include <charconv>
#include <map>
#include <set>

namespace quill::help {
namespace {

constexpr std::size_t kMaxTitle = 127;  // the viewer keeps titles in short buffers
constexpr std::size_t kMaxName = 255;

// The few characters beyond ASCII the help text may use, as UTF-8 and in
// Windows-1252.
struct Extra {
  const char* utf8;
  char cp1252;
};
constexpr Extra kExtras[] = {
    {"\xE2\x80\x93", '\x96'},  // en dash
    {"\xE2\x80\x94", '\x97'},  // em dash
    {"\xC3\x97", '\xD7'},      // multiplication sign
    {"\xC2\xB1", '\xB1'},      // plus-minus sign
    {"\xC2\xB0", '\xB0'},      // degree sign
    {"\xC2\xB5", '\xB5'},      // micro sign
};

class Parser {
 public:
  Parser(const std::string& file, HelpSource& out, std::string& error) : file_(file), out_(out), error_(error) {}

  bool Run(std::string_view text) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_;
      if (!Line(line)) return false;
      if (end == text.size()) break;
      pos = end + 1;
    }
    if (!EndParagraph() || !EndTopic()) return false;
    return Finish();
  }

 private:
  bool Fail(const std::string& what, int line = 0) {
    error_ = file_ + ":" + std::to_string(line ? line : line_) + ": " + what;
    return false;
  }

  bool Line(std::string_view line) {
    if (!line.empty() && line[0] == ';') return true;
    if (!line.empty() && line[0] == '.') return Directive(line);
    if (IsBlank(line)) return EndParagraph();
    if (!inTopic_) return Fail("text before the first .topic");
    std::string converted;
    if (!Convert(Trim(line), converted)) return false;
    if (!pending_.empty()) pending_ += ' ';
    pending_ += converted;
    if (pendingLine_ == 0) pendingLine_ = line_;
    return true;
  }

  bool Directive(std::string_view line) {
    std::string_view word = line.substr(0, line.find(' '));
    std::string_view rest = line.size() > word.size() ? Trim(line.substr(word.size())) : std::string_view();
    if (word == ".title") {
      if (seenTitle_) return Fail("a second .title");
      if (inTopic_) return Fail(".title after the first .topic");
      if (rest.empty()) return Fail(".title without text");
      seenTitle_ = true;
      return Convert(rest, out_.title) && CheckLength(out_.title, "the help title");
    }
    if (word == ".topic") {
      if (!EndParagraph() || !EndTopic()) return false;
      return BeginTopic(rest);
    }
    return Fail("unknown directive '" + std::string(word) + "'");
  }

  bool BeginTopic(std::string_view rest) {
    std::string_view numberText = rest.substr(0, rest.find(' '));
    rest = Trim(rest.substr(numberText.size()));
    std::string_view name = rest.substr(0, rest.find(' '));
    std::string_view title = Trim(rest.substr(name.size()));
    std::uint32_t number = 0;
    auto [ptr, ec] = std::from_chars(numberText.data(), numberText.data() + numberText.size(), number);
    if (numberText.empty() || ec != std::errc() || ptr != numberText.data() + numberText.size())
      return Fail("'.topic' needs a context number, a context name and a title");
    if (name.empty() || title.empty())
      return Fail("'.topic " + std::string(numberText) + "' needs a context name and a title");
    if (!ValidName(name))
      return Fail("context name '" + std::string(name) +
                  "' must start with a letter and hold only letters, digits, '_' and '.'");
    if (auto it = numbers_.find(number); it != numbers_.end())
      return Fail("context number " + std::to_string(number) + " is already used at line " +
                  std::to_string(it->second));
    if (auto it = names_.find(std::string(name)); it != names_.end())
      return Fail("context name '" + std::string(name) + "' is already used at line " + std::to_string(it->second));
    numbers_[number] = line_;
    names_[std::string(name)] = line_;
    Topic topic;
    topic.number = number;
    topic.name = std::string(name);
    topic.line = line_;
    if (!Convert(title, topic.title) || !CheckLength(topic.title, "a topic title")) return false;
    out_.topics.push_back(std::move(topic));
    inTopic_ = true;
    return true;
  }

  bool EndParagraph() {
    if (pending_.empty()) return true;
    Paragraph paragraph;
    if (!SplitSpans(pending_, paragraph)) return false;
    out_.topics.back().paragraphs.push_back(std::move(paragraph));
    pending_.clear();
    pendingLine_ = 0;
    return true;
  }

  bool EndTopic() {
    if (!inTopic_) return true;
    const Topic& topic = out_.topics.back();
    if (topic.paragraphs.empty())
      return Fail("topic " + std::to_string(topic.number) + " '" + topic.name + "' has no text", topic.line);
    return true;
  }

  // "{label|name}" is a jump; braces and bars appear nowhere else.
  bool SplitSpans(const std::string& text, Paragraph& paragraph) {
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t open = text.find_first_of("{}|", pos);
      if (open == std::string::npos) {
        paragraph.push_back({text.substr(pos), {}});
        break;
      }
      if (text[open] != '{') return Fail(std::string("'") + text[open] + "' outside a jump", pendingLine_);
      if (open > pos) paragraph.push_back({text.substr(pos, open - pos), {}});
      std::size_t bar = text.find_first_of("{}|", open + 1);
      if (bar == std::string::npos || text[bar] != '|')
        return Fail("a jump is written {label|context_name}", pendingLine_);
      std::size_t close = text.find_first_of("{}|", bar + 1);
      if (close == std::string::npos || text[close] != '}')
        return Fail("a jump is written {label|context_name}", pendingLine_);
      std::string label = std::string(Trim(std::string_view(text).substr(open + 1, bar - open - 1)));
      std::string name = std::string(Trim(std::string_view(text).substr(bar + 1, close - bar - 1)));
      if (label.empty()) return Fail("a jump without a label", pendingLine_);
      if (!ValidName(name)) return Fail("a jump to '" + name + "', which is not a context name", pendingLine_);
      paragraph.push_back({label, name});
      jumps_.push_back({name, pendingLine_});
      pos = close + 1;
    }
    return true;
  }

  bool Finish() {
    if (!seenTitle_) return Fail("no .title", 1);
    if (out_.topics.empty()) return Fail("no .topic", 1);
    for (const auto& [name, line] : jumps_)
      if (!names_.count(name)) return Fail("a jump to '" + name + "', which no topic has", line);
    return true;
  }

  bool Convert(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
      unsigned char c = static_cast<unsigned char>(in[i]);
      if (c == '\t') return Fail("a tab; use spaces");
      if (c < 0x20 || c == 0x7F) return Fail("a control character");
      if (c < 0x80) {
        out += static_cast<char>(c);
        ++i;
        continue;
      }
      bool found = false;
      for (const Extra& extra : kExtras) {
        std::string_view seq(extra.utf8);
        if (in.substr(i, seq.size()) == seq) {
          out += extra.cp1252;
          i += seq.size();
          found = true;
          break;
        }
      }
      if (!found) return Fail("a character the help viewer's code page cannot show");
    }
    return true;
  }

  bool CheckLength(const std::string& text, const char* what) {
    if (text.size() > kMaxTitle)
      return Fail(std::string(what) + " longer than " + std::to_string(kMaxTitle) + " characters");
    return true;
  }

  static bool ValidName(std::string_view name) {
    if (name.empty() || name.size() > kMaxName) return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(name[0])) return false;
    for (char c : name)
      if (!letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '.') return false;
    return true;
  }

  static bool IsBlank(std::string_view line) { return Trim(line).empty(); }

  static std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  }

  const std::string& file_;
  HelpSource& out_;
  std::string& error_;
  int line_ = 0;
  bool seenTitle_ = false;
  bool inTopic_ = false;
  std::string pending_;
  int pendingLine_ = 0;
  std::map<std::uint32_t, int> numbers_;
  std::map<std::string, int> names_;
  std::vector<std::pair<std::string, int>> jumps_;
};

}  // namespace

bool ParseHelpSource(std::string_view text, const std::string& fileName, HelpSource& out, std::string& error) {
  out = HelpSource();
  error.clear();
  return Parser(fileName, out, error).Run(text);
}

}  // namespace quill::help
