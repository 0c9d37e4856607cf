// The platform services of the web page: the terminal's (clock, random
// seed, data folder listing), except that message boxes and documents to
// open are collected for the page, which shows them as dialogs and links.
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/terminal_services.h"

namespace fenban::web {

struct MessageBox {
  std::string title;
  std::string text;
  int32_t style = 0;
};

// Holds the streams the terminal services write to, so that they exist
// before the services are built.
struct ServiceStreams {
  std::ostringstream out;
  std::ostringstream err;
};

class WebServices : private ServiceStreams, public cli::TerminalServices {
 public:
  WebServices()
      : ServiceStreams(), TerminalServices(ServiceStreams::out, ServiceStreams::err, std::nullopt, /*bell=*/false) {}

  int32_t MsgBox(const std::string& prompt, int32_t style, const std::string& title) override;
  // Records the document for the page to offer; a missing file is an error
  // as on the terminal.
  void OpenDocument(const std::string& path) override;

  const std::vector<MessageBox>& Boxes() const { return boxes_; }
  const std::vector<std::string>& OpenedDocuments() const { return opened_; }

 private:
  std::vector<MessageBox> boxes_;
  std::vector<std::string> opened_;
};

}  // namespace fenban::web
