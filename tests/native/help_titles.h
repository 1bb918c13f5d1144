// Topic numbers, context names and titles as the help source's ".topic"
// lines give them, read without the compiler so the tests check its output
// against the text itself.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace quill::test {

inline std::map<std::uint32_t, std::pair<std::string, std::string>> HelpSourceTopics(const std::string& path) {
  std::ifstream in(path);
  std::map<std::uint32_t, std::pair<std::string, std::string>> topics;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(".topic ", 0) != 0) continue;
    std::istringstream words(line.substr(7));
    std::uint32_t number = 0;
    std::string name, title;
    words >> number >> name;
    std::getline(words >> std::ws, title);
    topics[number] = {name, title};
  }
  return topics;
}

}  // namespace quill::test
