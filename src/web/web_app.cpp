#include "web/web_app.h"

#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "app/app_error.h"
#include "app/folder_guard.h"
#include "app/guide.h"
#include "app/teacher_manual.h"
#include "host/errors.h"
#include "web/file_rules.h"
#include "web/growing_pool.h"
#include "web/name_text.h"
#include "web/page_files.h"
#include "web/web_error.h"

namespace fenban::web {

using nlohmann::json;

namespace {

void SendJson(httplib::Response& response, int status, const json& body) {
  response.status = status;
  // A text that is not UTF-8 (a file name from another system) is sent with
  // U+FFFD in place of its bad bytes rather than failing the whole answer.
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json; charset=utf-8");
}

void SendError(httplib::Response& response, int status, const std::string& title, const std::string& text) {
  SendJson(response, status, ErrorJson(title, text));
}

// The answer to each kind of application failure: the status and the
// dialog's title (a busy folder gets its own words, for the page).
void SendAppError(httplib::Response& response, const app::AppError& error) {
  switch (error.Kind()) {
    case app::ErrorKind::FolderBusy:
      SendError(response, 409, "请稍候",
                "另一个 fenban 命令（终端里的，或另一个网页服务的）正在使用这个文件夹，请等它结束后再试。没有保存任何文件。");
      return;
    case app::ErrorKind::WorkbookOpen:
      SendError(response, 409, "文件正在使用", error.what());
      return;
    case app::ErrorKind::SaveFailed:
      SendError(response, 500, "保存失败", error.what());
      return;
    case app::ErrorKind::Refused:
      break;
  }
  SendError(response, 400, kNotice, error.what());
}

json BodyOf(const httplib::Request& request) {
  std::string type = request.get_header_value("Content-Type");
  if (type.rfind("application/json", 0) != 0) {
    throw WebError(415, kNotice, "请求应是 JSON (application/json)");
  }
  if (request.body.size() > kMaxJsonBytes) {
    throw WebError(413, kNotice, fmt::format("请求太大，最多 {} KB", kMaxJsonBytes >> 10));
  }
  if (request.body.empty()) return json::object();
  json body = json::parse(request.body);
  if (!body.is_object()) throw WebError(400, kNotice, "请求应是一个 JSON 对象");
  return body;
}

std::string TextField(const json& body, const char* name) {
  auto found = body.find(name);
  if (found == body.end() || !found->is_string()) {
    throw WebError(400, kNotice, fmt::format("请求缺少文字字段 “{}”", name));
  }
  return found->get<std::string>();
}

// True when the request's path and parameters are UTF-8 text.
bool HasOnlyUtf8(const httplib::Request& request) {
  if (!IsUtf8(request.path)) return false;
  for (const auto& [name, value] : request.params) {
    if (!IsUtf8(name) || !IsUtf8(value)) return false;
  }
  return true;
}

// True for the calls that take a JSON body (all but the upload).
bool TakesJson(const httplib::Request& request) {
  return request.method == "POST" && request.path != "/api/upload";
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void SendFile(httplib::Response& response, const std::filesystem::path& path, const std::string& type) {
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) throw WebError(404, kNotice, fmt::format("无法读取 {}", path.filename().string()));
  response.set_header("Content-Disposition", AttachmentHeader(path.filename().string()));
  response.set_content(*bytes, type.c_str());
}

bool IsApiPath(const std::string& path) { return path.rfind("/api/", 0) == 0; }

}  // namespace

json ErrorJson(const std::string& title, const std::string& text) {
  return {{"error", {{"title", title}, {"text", text}}}};
}

std::string AttachmentHeader(const std::string& fileName) {
  std::string ascii, encoded;
  for (unsigned char c : fileName) {
    bool plain = std::isalnum(c) || c == '.' || c == '-' || c == '_';
    ascii += plain ? static_cast<char>(c) : '_';
    encoded += plain ? std::string(1, static_cast<char>(c)) : fmt::format("%{:02X}", static_cast<unsigned>(c));
  }
  return fmt::format("attachment; filename=\"{}\"; filename*=UTF-8''{}", ascii, encoded);
}

WebApp::WebApp(Workspace& workspace, std::string token, ServeLimits limits)
    : workspace_(&workspace), limits_(limits) {
  guard_.token = std::move(token);
  server_.set_payload_max_length(kMaxUploadBytes + (1u << 20));
  const ServeLimits pool = limits_;
  server_.new_task_queue = [pool] { return new GrowingPool(pool.leastWorkers, pool.mostWorkers); };
  server_.set_read_timeout(limits_.readTimeout, 0);
  server_.set_write_timeout(limits_.writeTimeout, 0);
  server_.set_keep_alive_timeout(limits_.keepAliveTimeout);
  server_.set_default_headers({
      {"Cache-Control", "no-store"},
      {"X-Content-Type-Options", "nosniff"},
      {"X-Frame-Options", "DENY"},
      {"Referrer-Policy", "no-referrer"},
      {"Content-Security-Policy",
       "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; frame-ancestors 'none'"},
  });
  server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    GuardRequest seen;
    seen.host = request.get_header_value("Host");
    seen.hasOrigin = request.has_header("Origin");
    seen.origin = request.get_header_value("Origin");
    seen.cookie = request.get_header_value("Cookie");
    seen.headerToken = request.get_header_value(kTokenHeader);
    seen.queryToken = request.get_param_value("token");
    GuardDecision decision = CheckRequest(guard_, seen);
    if (decision.status != 0) {
      if (IsApiPath(request.path)) {
        SendError(response, decision.status, "拒绝访问", decision.message);
      } else {
        response.status = decision.status;
        response.set_content(fmt::format("<!doctype html><meta charset=utf-8><title>fenban</title><p>{}</p>",
                                         decision.message),
                             "text/html; charset=utf-8");
      }
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!HasOnlyUtf8(request)) {
      SendError(response, 400, kNotice, "请求里有不是 UTF-8 的文字，无法处理");
      return httplib::Server::HandlerResponse::Handled;
    }
    // A JSON call's body is refused before it is read when it says it is too large.
    if (TakesJson(request) && request.get_header_value<uint64_t>("Content-Length") > kMaxJsonBytes) {
      SendError(response, 413, kNotice, fmt::format("请求太大，最多 {} KB", kMaxJsonBytes >> 10));
      return httplib::Server::HandlerResponse::Handled;
    }
    if (decision.fromQuery) {
      response.set_header("Set-Cookie", TokenCookie(guard_.token));
      if (request.method == "GET" && !IsApiPath(request.path)) {
        response.set_redirect(request.path, 303);  // drop the token from the address bar
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& request,
                                                                      httplib::Response& response) {
    if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string text;
    if (response.status == 413) {
      text = fmt::format("文件太大，最多 {} MB", kMaxUploadBytes >> 20);
    } else if (response.status == 404) {
      text = fmt::format("没有这个地址：{}", request.path);
    } else {
      text = fmt::format("请求不对（HTTP {}）", response.status);
    }
    SendError(response, response.status, kNotice, text);
    return httplib::Server::HandlerResponse::Handled;
  }));
  server_.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    // What the exception says is for a developer; the page gets a plain word.
    SendError(response, 500, kErrorTitle, "内部错误，命令没有完成，没有保存任何文件。请重新读取页面再试。");
  });
  AddPageRoutes();
  AddApiRoutes();
  AddVersionRoutes();
}

int WebApp::Bind(const std::string& address, int port) {
  int bound = port;
  if (port == 0) {
    bound = server_.bind_to_any_port(address);
  } else if (!server_.bind_to_port(address, port)) {
    bound = -1;
  }
  if (bound > 0) guard_.hosts = OwnHosts(address, bound);
  return bound;
}

bool WebApp::Listen() { return server_.listen_after_bind(); }

void WebApp::Stop() { server_.stop(); }

void WebApp::AddPageRoutes() {
  auto sendPage = [](const std::string& name) {
    return [name](const httplib::Request&, httplib::Response& response) {
      const PageFile* file = FindPageFile(name);
      if (file == nullptr) {
        SendError(response, 404, kNotice, "页面缺失：" + name);
        return;
      }
      response.set_content(std::string(file->bytes), PageContentType(name).c_str());
    };
  };
  server_.Get("/", sendPage("index.html"));
  server_.Get("/print", sendPage("print.html"));
  server_.Get(R"(/([a-z_]+\.(js|css)))", [](const httplib::Request& request, httplib::Response& response) {
    std::string name = request.matches[1];
    const PageFile* file = FindPageFile(name);
    if (file == nullptr) {
      SendError(response, 404, kNotice, "没有这个文件：" + name);
      return;
    }
    response.set_content(std::string(file->bytes), PageContentType(name).c_str());
  });
}

httplib::Server::Handler WebApp::Api(ApiHandler handler) {
  return [this, handler](const httplib::Request& request, httplib::Response& response) {
    const bool writing = request.method == "POST";
    std::unique_lock<std::mutex> lock(modelMutex_, std::defer_lock);
    if (!writing) {
      lock.lock();
    } else if (!lock.try_lock()) {
      // Another tab's or this tab's command is running: a second one now
      // would work on files the first is about to replace.
      SendError(response, 409, "请稍候", "另一个命令正在执行，请等它完成后再试。");
      return;
    }
    try {
      // Calls that may write hold the host folder's lock, as a command of the
      // terminal program does, so that the two never save at the same time.
      std::optional<app::HostFolderLock> folderLock;
      if (writing) folderLock.emplace(workspace_->Folder(), limits_.folderLockWait);
      // The page asks how far a command has come while it waits for it.
      struct Running {
        PageProgress* progress;
        ~Running() { if (progress != nullptr) progress->End(); }
      } running{writing ? &workspace_->Progress() : nullptr};
      if (writing) workspace_->Progress().Begin();
      SendJson(response, 200, handler(request));
    } catch (const WebError& error) {
      json body = ErrorJson(error.Title(), error.what());
      if (!error.Detail().is_null()) body["conflict"] = error.Detail();
      SendJson(response, error.Status(), body);
    } catch (const app::AppError& error) {
      SendAppError(response, error);
    } catch (const host::RuntimeError& error) {
      SendError(response, 500, kErrorTitle, fmt::format("错误[{}] {}", error.Number(), error.Description()));
    } catch (const json::exception&) {
      SendError(response, 400, kNotice, "请求的格式不对（不是正确的 JSON，或其中的文字不是 UTF-8）");
    }
  };
}

httplib::Server::Handler WebApp::Download(DownloadHandler handler) {
  return [this, handler](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(modelMutex_);
    try {
      handler(request, response);
    } catch (const WebError& error) {
      SendError(response, error.Status(), error.Title(), error.what());
    } catch (const app::AppError& error) {
      SendAppError(response, error);
    }
  };
}

void WebApp::AddApiRoutes() {
  Workspace& ws = *workspace_;
  // Answered while a command runs: it does not wait for the model.
  server_.Get("/api/progress", [&ws](const httplib::Request&, httplib::Response& response) {
    SendJson(response, 200, ws.Progress().Json());
  });
  server_.Get("/api/state", Api([&ws](const httplib::Request&) { return ws.State(); }));
  server_.Get("/api/view", Api([&ws](const httplib::Request& request) {
    if (!request.has_param("sheet")) throw WebError(400, kNotice, "请求缺少 sheet (missing sheet)");
    return ws.View(request.get_param_value("sheet"));
  }));
  server_.Post("/api/select", Api([&ws](const httplib::Request& request) {
    return ws.Select(TextField(BodyOf(request), "book"));
  }));
  server_.Post("/api/option", Api([&ws](const httplib::Request& request) {
    json body = BodyOf(request);
    if (!body.contains("value")) throw WebError(400, kNotice, "请求缺少 value (missing value)");
    return ws.SetOption(TextField(body, "control"), body["value"]);
  }));
  // The commands that write check first that the page's view is of the
  // files as they are (and of the moves as they are).
  auto current = [&ws](const json& body, bool movesToo) { ws.RequireCurrent(BaseOf(body), movesToo); };
  server_.Post("/api/divide", Api([&ws, current](const httplib::Request& request) {
    const json body = BodyOf(request);
    current(body, true);
    app::ListOptions list;
    if (body.contains("headerRow") && body["headerRow"].is_number_integer()) {
      list.headerRow = static_cast<int32_t>(std::clamp<int64_t>(body["headerRow"].get<int64_t>(), 0, INT32_MAX));
    }
    list.totalFromSubjects = body.contains("totalFromSubjects") && body["totalFromSubjects"].is_boolean() &&
                             body["totalFromSubjects"].get<bool>();
    return ws.Divide(list);
  }));
  server_.Post("/api/stats", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, true);
    return ws.Rebuild(TextField(body, "sheet"));
  }));
  server_.Post("/api/delete", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, true);
    return ws.Delete(TextField(body, "sheet"));
  }));
  server_.Post("/api/delete-division", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, true);
    return ws.DeleteDivision(TextField(body, "sheet"));
  }));
  server_.Post("/api/export", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, true);
    app::ExportOptions options;
    options.sheet = TextField(body, "sheet");
    if (body.contains("columns")) options.columns = body["columns"].get<std::vector<std::string>>();
    options.perClassFiles = body.value("perClassFiles", false);
    options.sortBy = body.value("sort", std::string());
    options.heading = body.value("heading", options.heading);
    return ws.Export(options);
  }));
  server_.Post("/api/template", Api([&ws, current](const httplib::Request& request) {
    current(BodyOf(request), true);
    return ws.Template();
  }));
  server_.Post("/api/help", Api([&ws](const httplib::Request& request) {
    BodyOf(request);
    return ws.Help();
  }));
  server_.Post("/api/move", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, false);
    auto confirmed = body.find("confirm");
    return ws.Move(TextField(body, "sheet"), TextField(body, "student"), TextField(body, "from"),
                   TextField(body, "to"), confirmed != body.end() && confirmed->is_boolean() && confirmed->get<bool>());
  }));
  server_.Post("/api/swap", Api([&ws, current](const httplib::Request& request) {
    json body = BodyOf(request);
    current(body, false);
    auto confirmed = body.find("confirm");
    return ws.Swap(TextField(body, "sheet"), {TextField(body, "student"), TextField(body, "from")},
                   {TextField(body, "other"), TextField(body, "otherFrom")},
                   confirmed != body.end() && confirmed->is_boolean() && confirmed->get<bool>());
  }));
  server_.Post("/api/undo", Api([&ws, current](const httplib::Request& request) {
    current(BodyOf(request), true);
    return ws.Undo();
  }));
  server_.Post("/api/redo", Api([&ws, current](const httplib::Request& request) {
    current(BodyOf(request), true);
    return ws.Redo();
  }));
  server_.Post("/api/save", Api([&ws, current](const httplib::Request& request) {
    current(BodyOf(request), true);
    return ws.SaveMoves();
  }));
  server_.Post("/api/discard", Api([&ws, current](const httplib::Request& request) {
    current(BodyOf(request), true);
    return ws.DiscardMoves();
  }));
  server_.Post("/api/reload", Api([&ws](const httplib::Request& request) {
    BodyOf(request);
    return ws.Reload();
  }));
  server_.Post("/api/upload", Api([&ws](const httplib::Request& request) {
    if (!request.is_multipart_form_data() || !request.has_file("file")) {
      throw WebError(400, "不能上传", "请求里没有文件 (no file in the request)");
    }
    httplib::MultipartFormData file = request.get_file_value("file");
    const bool replace = request.has_file("replace") && request.get_file_value("replace").content == "1";
    return ws.Upload(file.filename, file.content, replace);
  }));
  server_.Post("/api/remove", Api([&ws](const httplib::Request& request) {
    return ws.Remove(TextField(BodyOf(request), "book"));
  }));
  server_.Get("/api/download", Download([&ws](const httplib::Request& request, httplib::Response& response) {
    // ?book= a data workbook of the listing; ?export= a list exported from one.
    std::filesystem::path path = request.has_param("export") ? ws.ExportedListPath(request.get_param_value("export"))
                                                              : ws.DataBookPath(request.get_param_value("book"));
    bool xls = path.extension() == ".xls";
    SendFile(response, path,
             xls ? "application/vnd.ms-excel"
                 : "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
  }));
  // The teacher's guide as the page's help, and its pictures.
  server_.Get("/api/guide", Api([](const httplib::Request&) {
    return json{{"html", app::BuildGuideHtml("/api/guide/")}};
  }));
  server_.Get(R"(/api/guide/(images/[a-z0-9-]+\.png))", Download([](const httplib::Request& request,
                                                                     httplib::Response& response) {
    const app::GuideFile* picture = app::FindGuideFile(request.matches[1].str());
    if (picture == nullptr) throw WebError(404, kNotice, "说明里没有这张图");
    response.set_content(std::string(picture->bytes), "image/png");
  }));
  server_.Get("/api/help.doc", Download([&ws](const httplib::Request&, httplib::Response& response) {
    SendFile(response, ws.HelpDocumentPath(), "application/msword");
  }));
}

void WebApp::AddVersionRoutes() {
  Workspace& ws = *workspace_;
  server_.Get("/api/versions", Api([&ws](const httplib::Request& request) {
    if (!request.has_param("book")) throw WebError(400, kNotice, "请求缺少 book (missing book)");
    return ws.Versions(request.get_param_value("book"));
  }));
  server_.Post("/api/restore", Api([&ws](const httplib::Request& request) {
    json body = BodyOf(request);
    std::optional<int32_t> number;
    if (body.contains("version") && !body["version"].is_null()) {
      if (!body["version"].is_number_integer() || body["version"].get<int64_t>() < 1) {
        throw WebError(400, kNotice, "版本编号应是正整数 (the version must be a positive whole number)");
      }
      number = static_cast<int32_t>(std::min<int64_t>(body["version"].get<int64_t>(), INT32_MAX));
    }
    return ws.Restore(TextField(body, "book"), number);
  }));
}

}  // namespace fenban::web
