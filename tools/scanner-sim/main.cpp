// ventra-sim: a simulated Ventra scanner on a pseudo-terminal.
// Control lines on stdin (plug, pull, stats, reset-stats, quit, fault settings); status lines on stdout.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "ScannerSim.h"
#include "app/BuildConfig.h"

namespace {
char g_descriptor[4096];

void onSignal(int) {
  if (g_descriptor[0]) ::unlink(g_descriptor);
  ::_exit(0);
}

void usage() {
  std::fputs(
      "usage: ventra-sim [options]\n"
      "  --files DIR          folder that holds the scanner's files (default: ./sim-files)\n"
      "  --devices DIR        virtual-device folder (default: $VENTRAIDE_DEVICES or the runtime folder)\n"
      "  --name STEM          descriptor file stem\n"
      "  --type N             equipment type code (default 10, Ventra V5)\n"
      "  --serial N           serial number (default 512345)\n"
      "  --firmware WORD      firmware word, e.g. 0x0512 (default)\n"
      "  --sp N               service pack (default 40)\n"
      "  --lang N             language 0 PT, 1 ES, 2 EN\n"
      "  --fs N               file-system byte (1 = sound)\n"
      "  --company N  --uuid N  --update-date YYMMDD  --clock YYMMDDhhmmss  --sw N\n"
      "  --vid XXXX --pid XXXX  USB identity in the descriptor (default 2956/2001)\n"
      "  --pace               pace both directions at the real line rate (5760 bytes/s, 57600 8N1)\n"
      "  --pace-bps N         pace both directions at N bytes/s\n"
      "  --reset-delay-ms N   after a reset (0x76) stay unplugged N ms (default 1500)\n"
      "  --unplugged          start unplugged (plug on the control line)\n"
      "faults (also accepted as control lines, e.g. \"silent 69:2\"):\n"
      "  --silent CMD[:N]     leave N requests of command CMD (hex) unanswered; no N = all\n"
      "  --late CMD[:MS]      answer command CMD (hex) MS ms late (default 1000)\n"
      "  --delay-ms N         answer every request N ms late\n"
      "  --bad-crc B[:N]      give block B (position / 4096) a wrong CRC N times (default 1, -1 = always)\n"
      "  --pull-after-rx N    pull the link after receiving N bytes since plugging\n"
      "  --pull-after-tx N    pull the link after sending N bytes since plugging\n"
      "control lines on stdin: plug, pull, stats, reset-stats, quit and the faults above\n"
      "status lines on stdout: plugged <pty>, pulled, stored <name> <bytes>, partial <name> <bytes>,\n"
      "  clock <YYMMDDhhmmss>, stats total=N <CMD>=N ..., ok <verb>, error ...\n",
      stderr);
}

unsigned long long num(const char *s) { return std::strtoull(s, nullptr, 0); }
}  // namespace

int main(int argc, char **argv) {
  ScannerSim::Options o;
  o.filesDir = "sim-files";
  o.devicesDir = BuildConfig::devicesFolder().toStdString();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char * {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ventra-sim: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--files") o.filesDir = next();
    else if (a == "--devices") o.devicesDir = next();
    else if (a == "--name") o.descriptorName = next();
    else if (a == "--type") o.id.typeCode = int(num(next()));
    else if (a == "--serial") o.id.serial = uint32_t(num(next()));
    else if (a == "--firmware") o.id.firmware = uint16_t(num(next()));
    else if (a == "--sp") o.id.servicePack = uint16_t(num(next()));
    else if (a == "--lang") o.id.language = uint8_t(num(next()));
    else if (a == "--fs") o.id.fileSystem = uint8_t(num(next()));
    else if (a == "--company") o.id.company = uint8_t(num(next()));
    else if (a == "--uuid") o.id.uuid = num(next());
    else if (a == "--update-date") o.id.updateDate = next();
    else if (a == "--clock") o.id.clock = next();
    else if (a == "--sw") o.id.softwareVersion = uint8_t(num(next()));
    else if (a == "--vid") o.id.vid = next();
    else if (a == "--pid") o.id.pid = next();
    else if (a == "--pace") o.paceBytesPerSec = 5760;
    else if (a == "--pace-bps") o.paceBytesPerSec = double(num(next()));
    else if (a == "--reset-delay-ms") o.resetDelayMs = int(num(next()));
    else if (a == "--unplugged") o.startPlugged = false;
    else if (a.rfind("--", 0) == 0 && a.size() > 2 &&
             (a == "--silent" || a == "--late" || a == "--delay-ms" || a == "--bad-crc" || a == "--pull-after-rx" ||
              a == "--pull-after-tx")) {
      if (!ScannerSim::applyFault(o, a.substr(2), next())) {
        std::fprintf(stderr, "ventra-sim: bad value for %s\n", a.c_str());
        return 2;
      }
    }
    else if (a == "--help" || a == "-h") {
      usage();
      return 0;
    } else {
      std::fprintf(stderr, "ventra-sim: unknown option %s\n", a.c_str());
      usage();
      return 2;
    }
  }
  ScannerSim sim(o);
  const std::string stem = o.descriptorName.empty() ? "ventra-sim-" + std::to_string(o.id.serial) : o.descriptorName;
  std::snprintf(g_descriptor, sizeof g_descriptor, "%s/%s.json", o.devicesDir.c_str(), stem.c_str());
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  std::signal(SIGPIPE, SIG_IGN);
  return sim.run();
}
