#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ScannerIdentity.h"

// The simulated scanner: a pseudo-terminal that speaks the device frame protocol, a folder as
// its file system, and a descriptor file that makes it look plugged in over USB.
class ScannerSim {
 public:
  struct Options {
    ScannerIdentity id;
    std::string filesDir;     // the scanner's file system
    std::string devicesDir;   // where the USB descriptor is written
    std::string descriptorName;  // file stem of the descriptor; default "ventra-sim-<serial>"
    bool startPlugged = true;
    // fault injection
    std::map<int, int> silentCommands;  // command byte -> how many requests to leave unanswered (-1 = all)
    int replyDelayMs = 0;                // late replies
  };

  explicit ScannerSim(Options opts);
  ~ScannerSim();

  // Runs until "quit" on stdin or end of stdin; returns the process exit code.
  int run();

 private:
  bool plug();
  void pull();
  void onLinkReadable();
  void processRx();
  void handleFrame(const std::vector<uint8_t> &frame);
  void reply(uint8_t cmd, const std::vector<uint8_t> &data);
  void sendRaw(const std::vector<uint8_t> &bytes);
  void handleControl(const std::string &line);
  std::string resolveFile(const std::string &name) const;
  std::vector<uint8_t> identificationData() const;
  void writeDescriptor();
  void removeDescriptor();
  std::string descriptorPath() const;
  void say(const std::string &line);

  Options opts_;
  int master_ = -1;
  int slaveKeep_ = -1;  // keeps the pty from hanging up between client opens
  std::string slaveName_;
  std::vector<uint8_t> rx_;
  int64_t partialSinceMs_ = 0;
  std::map<int, uint64_t> served_;  // command byte -> replies given
  uint64_t totalServed_ = 0;
  bool quit_ = false;
};
