#pragma once

namespace httplib {
class Server;
}

// The connectivity probe, GET /generate_204.
void registerProbeService(httplib::Server &server, int status);
