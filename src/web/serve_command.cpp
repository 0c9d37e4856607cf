#include "web/serve_command.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ostream>
#include <thread>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "web/listen_address.h"
#include "web/web_app.h"
#include "web/workspace.h"

namespace fenban::web {

int RunServe(const std::filesystem::path& folder, const app::ServeOptions& options, std::ostream& out,
             std::ostream& err) {
  const std::string& address = options.listen;
  if (IsEveryInterface(address)) {
    err << "fenban serve: --listen 需要一个具体的地址，如 127.0.0.1 "
           "(give one specific address; the page must not be open to every network)\n";
    return app::kExitUsage;
  }
  std::unique_ptr<Workspace> workspace;
  try {
    workspace = std::make_unique<Workspace>(folder);
    // What a killed run left behind is reported and tidied, as each command does.
    const app::HeldHostFolder held(folder, err);
  } catch (const app::AppError& error) {
    err << "fenban: " << error.what() << '\n';
    return app::kExitMessage;
  }
  std::string token = NewToken();
  WebApp webApp(*workspace, token);

  // Ctrl-C and SIGTERM are taken by sigwait below: block them before the
  // server's threads start, so that they inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  int port = webApp.Bind(address, options.port.value_or(0));
  if (port <= 0) {
    err << fmt::format("fenban serve: 无法在 {}:{} 上启动 (cannot listen there; is the port in use?)\n", address,
                       options.port.value_or(0));
    return app::kExitMessage;
  }
  std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  std::string url = fmt::format("http://{}:{}/?token={}", host, port, token);
  out << fmt::format("分班网页 fenban page for {}\n", folder.string());
  out << "在浏览器里打开 open in the browser:\n  " << url << '\n';
  out << "按 Ctrl-C 停止 (press Ctrl-C to stop)\n";
  out.flush();

  std::atomic<bool> stopping = false;
  pthread_t mainThread = pthread_self();
  std::thread listener([&] {
    webApp.Listen();
    if (!stopping) pthread_kill(mainThread, SIGTERM);  // the server ended by itself: wake the waiter
  });
  if (options.open && !app::OpenWithDesktop(url)) {
    out << "没有找到桌面浏览器，请手动打开上面的地址 (no desktop browser found; open the address by hand)\n";
    out.flush();
  }
  int received = 0;
  sigwait(&stopSignals, &received);
  stopping = true;
  webApp.Stop();
  listener.join();
  out << "已停止 stopped\n";
  return app::kExitSuccess;
}

}  // namespace fenban::web
