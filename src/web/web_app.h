// The HTTP side of the page: the guard in front of every request, the page's
// files, and the JSON calls under /api/ that drive the workspace one at a time.
#pragma once

#include <mutex>
#include <string>

#include <httplib.h>

#include "web/request_guard.h"
#include "web/workspace.h"

namespace fenban::web {

class WebApp {
 public:
  WebApp(Workspace& workspace, std::string token);

  // Binds to address:port (port 0: a free one) and returns the port, or -1.
  int Bind(const std::string& address, int port);
  // Serves until Stop; false when it could not.
  bool Listen();
  void Stop();

 private:
  void AddPageRoutes();
  void AddApiRoutes();
  // GET /api/versions?book=, POST /api/restore {"book", "version"}.
  void AddVersionRoutes();
  using ApiHandler = std::function<nlohmann::json(const httplib::Request&)>;
  httplib::Server::Handler Api(ApiHandler handler);
  using DownloadHandler = std::function<void(const httplib::Request&, httplib::Response&)>;
  httplib::Server::Handler Download(DownloadHandler handler);

  httplib::Server server_;
  Workspace* workspace_;
  std::mutex modelMutex_;  // one request at a time on the model
  GuardConfig guard_;
};

// The JSON body of a refused or failed request: {"error": {"title", "text"}}.
nlohmann::json ErrorJson(const std::string& title, const std::string& text);

// Content-Disposition for a download whose name may be Chinese.
std::string AttachmentHeader(const std::string& fileName);

}  // namespace fenban::web
