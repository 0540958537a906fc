// Stand-in for the maker's servers on loopback: the download server's files folder and the
// connectivity probe. Tests start it with --port 0 and read the bound port from stdout.
#include <httplib.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "FilesService.h"
#include "PortalRestService.h"
#include "ProbeService.h"
#include "RequestLog.h"
#include "ServerOptions.h"

int main(int argc, char **argv) {
  std::string error;
  PortalRestOptions portalRest;
  if (!takePortalRestOptions(argc, argv, portalRest, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const auto options = parseServerOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "%s\n%s", error.c_str(), serverUsage());
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);

  httplib::Server server;
  server.set_keep_alive_max_count(1000);
  FilesService files(*options);
  files.registerOn(server);
  registerProbeService(server, options->probeStatus);
  if (!registerPortalRestService(server, portalRest, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  server.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &) {
    RequestLog::line("request " + req.method + " " + req.path);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
    RequestLog::line("served " + req.method + " " + req.path + " " + std::to_string(res.status));
  });

  const int port = options->port == 0 ? server.bind_to_any_port(options->host)
                                      : (server.bind_to_port(options->host, options->port) ? options->port : -1);
  if (port <= 0) {
    std::fprintf(stderr, "cannot bind %s:%d\n", options->host.c_str(), options->port);
    return 1;
  }
  RequestLog::line("listening " + options->host + ":" + std::to_string(port));

  // end of input or "quit" stops the server: a test that dies takes its server with it
  // (exits at once: stopping the server would wait for its pool's keep-alive connections)
  std::thread control([] {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (line == "quit") break;
    }
    std::fflush(stdout);
    std::_Exit(0);
  });
  control.detach();
  return server.listen_after_bind() ? 0 : 1;
}
