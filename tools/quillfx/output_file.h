// An output file that appears whole or not at all: written under a hidden
// temporary name in the target's folder and renamed over the target only
// when finished. Until then an earlier file at the target stays as it was;
// a failed run, an abandoned writer or a fatal signal leaves nothing behind.
#pragma once

#include <string>

namespace quill {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Abandon(); }

  // Creates the temporary file for `target`; false with a message if the
  // folder does not take it.
  bool Create(const std::string& target, std::string& error);
  int Fd() const { return fd_; }
  const std::string& TempPath() const { return temp_; }

  // Closes the file and renames it over the target, with the target's
  // earlier permissions if there was one.
  bool Commit(std::string& error);
  // Closes and removes the temporary file; nothing happens to the target.
  void Abandon();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  int slot_ = -1;  // in the table the signal handler clears
};

// Makes SIGINT, SIGTERM, SIGHUP (and SIGPIPE, unless ignored) remove every
// temporary output still open before the process ends by that signal as it
// would have. Signals the process ignores stay ignored. Safe to call more
// than once; call it before starting threads.
void InstallSignalCleanup();

}  // namespace quill
