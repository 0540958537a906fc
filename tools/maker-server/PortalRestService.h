#pragma once
#include <string>

namespace httplib {
class Server;
}

// The portal query API (GET under /portal/) and scripted REST replies (under /rest/). Each
// request is recorded: GET /portal-log lists the portal targets one per line, GET /rest-log the
// REST requests as a JSON array (method, target, authorization, contentType, body).
struct PortalRestOptions {
  std::string dthora;       // reply of ".../dthora"; default: the local time as YYMMDDhhmmss
  int portalStatus = 200;   // status of every portal reply (500 to make the portal fail)
  std::string restScript;   // JSON file: [{"method","path","status","body","contentType","headers"}]
};

// Takes this service's options out of argv (argc shrinks); false with error on a bad value.
bool takePortalRestOptions(int &argc, char **argv, PortalRestOptions &options, std::string &error);
// Registers the routes; false with error when the script cannot be read.
bool registerPortalRestService(httplib::Server &server, const PortalRestOptions &options, std::string &error);
