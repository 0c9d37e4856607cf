// The HTTP side of the page: the guard in front of every request, the page's
// files, and the JSON calls under /api/ that drive the workspace one at a time.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include <httplib.h>

#include "web/request_guard.h"
#include "web/workspace.h"

namespace fenban::web {

// How long and how much the server takes from a caller.
struct ServeLimits {
  // How long a writing call waits for a terminal command to finish.
  std::chrono::milliseconds folderLockWait = std::chrono::seconds(3);
  // Threads serving connections: an idle or slow connection holds one
  // until its time-out, so another is started whenever none is free, up to
  // the most.
  size_t leastWorkers = 8;
  size_t mostWorkers = 512;
  // Seconds a connection may take to send a request, and to take an answer.
  int readTimeout = 3;
  int writeTimeout = 10;
  // Seconds an idle kept-alive connection stays open.
  int keepAliveTimeout = 2;
};

// The largest JSON request body taken, in bytes.
inline constexpr size_t kMaxJsonBytes = size_t{64} << 10;

class WebApp {
 public:
  WebApp(Workspace& workspace, std::string token, ServeLimits limits = {});

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
  // One request at a time on the model: a second writing call is refused
  // while one runs, reading calls wait.
  std::mutex modelMutex_;
  GuardConfig guard_;
  ServeLimits limits_;
};

// The JSON body of a refused or failed request: {"error": {"title", "text"}}.
nlohmann::json ErrorJson(const std::string& title, const std::string& text);

// Content-Disposition for a download whose name may be Chinese.
std::string AttachmentHeader(const std::string& fileName);

}  // namespace fenban::web
