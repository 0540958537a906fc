#pragma once
#include <string>

// One line per request on stdout when it arrives ("request GET /path") and when its reply was
// sent ("served GET /path 200"; a dropped transfer may have none), so a test can tell what the
// server was asked for. Lines from the pool's threads never interleave.
namespace RequestLog {
void line(const std::string &text);
}
