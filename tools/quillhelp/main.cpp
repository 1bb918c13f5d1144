// quillhelp: compiles the help text into the help file the settings pages open.
//   quillhelp SOURCE -o OUTPUT
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/quillhelp/help_source.h"
#include "tools/quillhelp/hlp_writer.h"

int main(int argc, char** argv) {
  std::string sourcePath, outputPath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc)
      outputPath = argv[++i];
    else if (sourcePath.empty() && !arg.empty() && arg[0] != '-')
      sourcePath = arg;
    else {
      std::cerr << "usage: quillhelp SOURCE -o OUTPUT\n";
      return 2;
    }
  }
  if (sourcePath.empty() || outputPath.empty()) {
    std::cerr << "usage: quillhelp SOURCE -o OUTPUT\n";
    return 2;
  }
  std::ifstream in(sourcePath, std::ios::binary);
  if (!in) {
    std::cerr << sourcePath << ": cannot be read\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();

  quill::help::HelpSource source;
  std::string error;
  if (!quill::help::ParseHelpSource(text.str(), sourcePath, source, error)) {
    std::cerr << error << "\n";
    return 1;
  }
  // A fixed date unless the build gives one keeps the file the same from
  // build to build.
  std::uint32_t stamp = 0;
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"))
    stamp = static_cast<std::uint32_t>(std::strtoul(epoch, nullptr, 10));
  std::vector<std::uint8_t> bytes;
  if (!quill::help::WriteHelpFile(source, stamp, bytes, error)) {
    std::cerr << sourcePath << ": " << error << "\n";
    return 1;
  }
  const std::string temp = outputPath + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << outputPath << ": cannot be written\n";
      std::remove(temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), outputPath.c_str()) != 0) {
    std::cerr << outputPath << ": cannot be written\n";
    std::remove(temp.c_str());
    return 1;
  }
  std::cout << outputPath << ": " << source.topics.size() << " topics, " << bytes.size() << " bytes\n";
  return 0;
}
