#include "ProbeService.h"

#include <httplib.h>

void registerProbeService(httplib::Server &server, int status) {
  server.Get("/generate_204", [status](const httplib::Request &, httplib::Response &res) { res.status = status; });
}
