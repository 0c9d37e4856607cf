// The fast scanner of sheet parts next to expat, on real workbooks: for
// every XML part, whether the scanner handles it and gives expat's events
// (compared by a hash of all events), and the processor time of each; then
// what reading the workbook and the read-back check of it cost, next to the
// floor of any check that reads the file back (inflating its parts).
//
//   fenban_xml_scan WORKBOOK.xlsx... [--repeats N] [--workbook-only]
//
// --workbook-only leaves out the parts one by one (for a profile of the
// reader and the check).
//
// Exits with 1 when a part the scanner handles gives other events than expat.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/save_check.h"
#include "files/workbook_files.h"
#include "files/xml_parser.h"
#include "files/xml_scanner.h"
#include "files/zip_archive.h"

namespace {

using fenban::files::XmlHandler;
using fenban::files::ZipArchive;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A hash of the events, character data joined between tags.
class EventHash : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    Mix("<", 1);
    Mix(name.data(), name.size());
    for (size_t i = 0; attrs[i] != nullptr; i += 2) {
      Mix(" ", 1);
      Mix(attrs[i], std::strlen(attrs[i]));
      Mix("=", 1);
      Mix(attrs[i + 1], std::strlen(attrs[i + 1]) + 1);
    }
  }
  void End(std::string_view name) override {
    Mix("/", 1);
    Mix(name.data(), name.size());
  }
  void Text(std::string_view text) override { Mix(text.data(), text.size()); }
  uint64_t Value() const { return hash_; }

 private:
  void Mix(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
  }
  uint64_t hash_ = 14695981039346656037ull;
};

// A handler that takes the events and does nothing: the parser's own time.
class Nothing : public XmlHandler {
 public:
  void Start(std::string_view, const char**) override {}
  void End(std::string_view) override {}
};

template <class F>
double BestOf(int repeats, F&& run) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const double start = ProcessCpuSeconds();
    run();
    best = std::min(best, ProcessCpuSeconds() - start);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = 3;
  bool partsToo = true;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc) {
      repeats = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--workbook-only") == 0) {
      partsToo = false;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  int status = 0;
  for (const std::string& file : files) {
    std::printf("%s\n", file.c_str());
    try {
      const ZipArchive zip = ZipArchive::OpenFile(file);
      double expatAll = 0, scanAll = 0, inflateAll = 0;
      for (const std::string& part : zip.Names()) {
        if (!partsToo) break;
        if (!part.ends_with(".xml") && !part.ends_with(".rels")) continue;
        const std::string xml = zip.Read(part, ZipArchive::kMaxTotalSize);
        EventHash byExpat, byScanner;
        fenban::files::ParseXmlText(xml, part, byExpat);
        const bool handled = fenban::files::ScanXmlText(xml, byScanner);
        const char* verdict = !handled ? "refused" : byExpat.Value() == byScanner.Value() ? "same" : "DIFFERENT";
        if (handled && byExpat.Value() != byScanner.Value()) status = 1;
        Nothing nothing;
        const double expat = BestOf(repeats, [&] { fenban::files::ParseXmlText(xml, part, nothing); });
        const double scan = BestOf(repeats, [&] { fenban::files::ScanXmlText(xml, nothing); });
        const double inflate = BestOf(repeats, [&] { zip.Stream(part, [](const char*, size_t) {}); });
        expatAll += expat;
        scanAll += scan;
        inflateAll += inflate;
        if (xml.size() >= (size_t{1} << 20)) {
          std::printf("  %-32s %8.1f MB  %-9s expat %.3f s  scanner %.3f s (%.1f×)  inflate %.3f s\n", part.c_str(),
                      static_cast<double>(xml.size()) / 1e6, verdict, expat, scan, expat / scan, inflate);
        } else if (!handled || byExpat.Value() != byScanner.Value()) {
          std::printf("  %-32s %s\n", part.c_str(), verdict);
        }
      }
      if (partsToo) {
        std::printf("  all parts: expat %.3f s, scanner %.3f s, inflating alone %.3f s (CPU, best of %d)\n", expatAll,
                    scanAll, inflateAll, repeats);
      }
      std::unique_ptr<fenban::host::ModelWorkbook> book;
      const double read = BestOf(repeats, [&] { book = fenban::files::ReadWorkbook(file); });
      std::printf("  reading the workbook %.3f s (CPU of all threads)\n", read);
      try {
        const double check = BestOf(repeats, [&] { fenban::files::CheckWrittenFile(*book, file); });
        std::printf("  the read-back check of it %.3f s (CPU of all threads)\n", check);
      } catch (const std::exception& error) {
        std::printf("  no read-back check: the file does not read back as its model (%s)\n", error.what());
      }
    } catch (const std::exception& error) {
      std::printf("  %s\n", error.what());
      status = 1;
    }
  }
  return status;
}
