#include "PortalRestService.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

namespace {

using json = nlohmann::json;

struct Recorder {
  std::mutex m;
  std::vector<std::string> portal;
  json rest = json::array();
};

std::string nowDigits() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%y%m%d%H%M%S", &tm);
  return buf;
}

const json *findReply(const json &script, const httplib::Request &req) {
  for (const auto &e : script) {
    if (e.value("method", std::string("GET")) != req.method) continue;
    const std::string path = e.value("path", std::string());
    // a path with a query matches the whole target, otherwise the path alone
    if (path == (path.find('?') != std::string::npos ? req.target : req.path)) return &e;
  }
  return nullptr;
}

}  // namespace

bool takePortalRestOptions(int &argc, char **argv, PortalRestOptions &options, std::string &error) {
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool ours = a == "--portal-dthora" || a == "--portal-status" || a == "--rest-script";
    if (!ours) {
      argv[out++] = argv[i];
      continue;
    }
    if (i + 1 >= argc) {
      error = "missing value for " + a;
      return false;
    }
    const std::string v = argv[++i];
    if (a == "--portal-dthora") {
      options.dthora = v;
    } else if (a == "--rest-script") {
      options.restScript = v;
    } else {
      try {
        options.portalStatus = std::stoi(v);
      } catch (...) {
        error = "bad number for " + a;
        return false;
      }
    }
  }
  argc = out;
  argv[argc] = nullptr;
  return true;
}

bool registerPortalRestService(httplib::Server &server, const PortalRestOptions &options, std::string &error) {
  auto script = std::make_shared<json>(json::array());
  if (!options.restScript.empty()) {
    std::ifstream in(options.restScript);
    auto doc = json::parse(in, nullptr, false);
    if (!in || doc.is_discarded() || !doc.is_array()) {
      error = "cannot read REST script " + options.restScript;
      return false;
    }
    *script = std::move(doc);
  }
  auto rec = std::make_shared<Recorder>();

  server.Get("/portal/(.*)", [rec, options](const httplib::Request &req, httplib::Response &res) {
    {
      std::lock_guard<std::mutex> lock(rec->m);
      rec->portal.push_back(req.target);
    }
    res.status = options.portalStatus;
    const bool dthora = req.path.size() >= 7 && req.path.compare(req.path.size() - 7, 7, "/dthora") == 0;
    res.set_content(dthora ? (options.dthora.empty() ? nowDigits() : options.dthora) : std::string("OK"),
                    "text/plain");
  });
  server.Get("/portal-log", [rec](const httplib::Request &, httplib::Response &res) {
    std::string text;
    std::lock_guard<std::mutex> lock(rec->m);
    for (const auto &l : rec->portal) text += l + "\n";
    res.set_content(text, "text/plain");
  });

  auto rest = [rec, script](const httplib::Request &req, httplib::Response &res) {
    json entry = {{"method", req.method},
                  {"target", req.target},
                  {"authorization", req.has_header("Authorization") ? json(req.get_header_value("Authorization"))
                                                                     : json(nullptr)},
                  {"contentType", req.get_header_value("Content-Type")},
                  {"accept", req.get_header_value("Accept")},
                  {"body", req.body}};
    {
      std::lock_guard<std::mutex> lock(rec->m);
      rec->rest.push_back(std::move(entry));
    }
    const json *reply = findReply(*script, req);
    if (!reply) {
      res.status = 404;
      res.set_content(R"({"result":["Recurso não encontrado"]})", "application/json");
      return;
    }
    res.status = reply->value("status", 200);
    if (reply->contains("headers"))
      for (const auto &[k, v] : (*reply)["headers"].items()) res.set_header(k.c_str(), v.get<std::string>());
    res.set_content(reply->value("body", std::string()), reply->value("contentType", std::string("application/json")).c_str());
  };
  server.Get("/rest/(.*)", rest);
  server.Post("/rest/(.*)", rest);
  server.Put("/rest/(.*)", rest);
  server.Delete("/rest/(.*)", rest);
  server.Get("/rest-log", [rec](const httplib::Request &, httplib::Response &res) {
    std::lock_guard<std::mutex> lock(rec->m);
    res.set_content(rec->rest.dump(), "application/json");
  });
  return true;
}
