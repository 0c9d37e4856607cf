// libxlsxwriter packs the parts of a workbook through five functions of
// minizip's writing interface (zipOpen, zipOpenNewFileInZip4_64,
// zipWriteInFileInZip, zipCloseFileInZip, zipClose), which Debian's library
// takes from libminizip at run time. They are defined here, over ZipWriter:
// a program linked with this file exports them, and the dynamic linker
// binds libxlsxwriter's calls to the program's definitions before
// libminizip's, so every part is deflated by igzip as the library hands it
// over. Nothing else in the program uses minizip. No C++ exception crosses
// into the library: a failure becomes minizip's error code (ZIP_ERRNO, with
// errno set), which libxlsxwriter returns from workbook_close. A
// PackageChanges alive on the calling thread is handed to the
// package it opens.
#include <xlsxwriter/third_party/zip.h>

#include <cerrno>
#include <cstring>

#include "files/file_error.h"
#include "files/xlsx_writer_internal.h"
#include "files/zip_writer.h"

namespace fenban::files {

namespace {

template <class F>
int Guarded(zipFile file, F&& step) {
  if (file == nullptr) return ZIP_PARAMERROR;
  try {
    step(*static_cast<ZipWriter*>(file));
    return ZIP_OK;
  } catch (const FormatError& failure) {
    errno = std::strstr(failure.what(), kTextDiskFull) != nullptr ? ENOSPC : EIO;
  } catch (...) {
    errno = ENOMEM;
  }
  return ZIP_ERRNO;
}

}  // namespace

// The changes alive on this thread, if any (the innermost).
thread_local const PackageChanges* currentChanges = nullptr;

PackageChanges::PackageChanges() : outer_(currentChanges) { currentChanges = this; }

PackageChanges::~PackageChanges() { currentChanges = outer_; }

void PackageChanges::ApplyTo(ZipWriter& writer) const {
  if (take_) writer.ReplaceEntry(replacedName_, take_);
  for (const auto& [name, edit] : edits_) writer.EditEntry(name, edit);
}

const PackageChanges* CurrentChanges() { return currentChanges; }

void LinkPackageZipWriter() {}

}  // namespace fenban::files

using fenban::files::CurrentChanges;
using fenban::files::Guarded;
using fenban::files::ZipWriter;

extern "C" {

zipFile ZEXPORT zipOpen(const char* pathname, int append) {
  if (pathname == nullptr || append != APPEND_STATUS_CREATE) return nullptr;
  try {
    auto* writer = new ZipWriter(pathname);
    if (CurrentChanges() != nullptr) CurrentChanges()->ApplyTo(*writer);
    return writer;
  } catch (...) {
    return nullptr;
  }
}

int ZEXPORT zipOpenNewFileInZip4_64(zipFile file, const char* filename, const zip_fileinfo* /*zipfi*/,
                                    const void* /*extrafield_local*/, uInt size_extrafield_local,
                                    const void* /*extrafield_global*/, uInt size_extrafield_global,
                                    const char* comment, int method, int /*level*/, int raw, int /*windowBits*/,
                                    int /*memLevel*/, int /*strategy*/, const char* password, uLong /*crcForCrypting*/,
                                    uLong /*versionMadeBy*/, uLong /*flagBase*/, int /*zip64*/) {
  // What libxlsxwriter asks for: plain deflated entries with a name only.
  if (filename == nullptr || method != Z_DEFLATED || raw != 0 || password != nullptr || comment != nullptr ||
      size_extrafield_local != 0 || size_extrafield_global != 0) {
    return ZIP_PARAMERROR;
  }
  return Guarded(file, [filename](ZipWriter& writer) { writer.StartEntry(filename); });
}

int ZEXPORT zipWriteInFileInZip(zipFile file, const void* buf, unsigned len) {
  return Guarded(file, [buf, len](ZipWriter& writer) { writer.Write(buf, len); });
}

int ZEXPORT zipCloseFileInZip(zipFile file) {
  return Guarded(file, [](ZipWriter& writer) { writer.FinishEntry(); });
}

int ZEXPORT zipClose(zipFile file, const char* /*global_comment*/) {
  const int result = Guarded(file, [](ZipWriter& writer) { writer.Close(); });
  delete static_cast<ZipWriter*>(file);
  return result;
}

}  // extern "C"
