// The program's own temporary files: named so that they can be told from
// every file a teacher keeps (".~fenban-<pid>-<random>.tmp", and names that
// begin so), created beside the file they will replace, removed when the
// program is stopped by SIGINT, SIGTERM or SIGHUP, and removed at the next
// start when a killed run left them behind.
#pragma once

#include <signal.h>

#include <string>

namespace fenban::files {

// True for a file name of the program's temporary files (with anything the
// libraries add after it).
bool IsOurTemporaryName(const std::string& name);

// A new, empty temporary file in folder, with the given permission bits
// (mode & 07777). It is removed when the program is stopped by a signal,
// until it is renamed, removed or released. Throws FormatError.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& folder, unsigned mode);
  ~TemporaryFile();
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  // Renames the file over target. Throws FormatError; the file stays.
  void RenameOver(const std::string& target);
  // Forgets the file without removing it (it is left for the caller).
  void Release();

 private:
  std::string path_;
  int slot_ = -1;
};

// A new temporary folder in folder, for the files a library keeps while it
// writes; removed with its files when the object ends or the program is
// stopped by a signal. Throws FormatError.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& folder);
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int slot_ = -1;
};

// Removes the temporary files (and folders) in folder that a run no longer alive left
// (its process id is in the name); returns how many.
int RemoveStaleTemporaries(const std::string& folder);

// Blocks SIGINT, SIGTERM and SIGHUP for the life of the object, so that a
// few renames are never cut between by them.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace fenban::files
