#pragma once
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ScannerIdentity.h"

// Byte budget of one direction of a paced line (token bucket refilled by elapsed time).
class LinePacer {
 public:
  void setRate(double bytesPerSecond) { perMs_ = bytesPerSecond / 1000.0; }
  bool active() const { return perMs_ > 0; }
  void restart();
  // How many of want bytes may cross the line now; they are taken from the budget.
  size_t take(size_t want);
  void refund(size_t n) { tokens_ += double(n); }
  // Milliseconds until at least one byte may cross (0 when one may now).
  int msUntilNext();

 private:
  void refill();
  double perMs_ = 0;
  double tokens_ = 0;
  int64_t last_ = 0;
  static constexpr double kBurst = 64;  // bytes; a byte-level UART has no larger burst
};

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
    int resetDelayMs = 1500;  // 0x76: unplugged this long, then plugged again
    double paceBytesPerSec = 0;  // 0: as fast as the pty goes; 5760 = 57600 baud 8N1
    // fault injection
    std::map<int, int> silentCommands;  // command byte -> how many requests to leave unanswered (-1 = all)
    int replyDelayMs = 0;                // every reply late
    std::map<int, int> lateCommands;     // command byte -> extra delay before its reply
    std::map<uint32_t, int> badCrcBlocks;  // 4096-byte block index -> how many answers get a wrong CRC (-1 = all)
    int64_t pullAfterRx = -1;  // pull the link once this many bytes were received since plugging
    int64_t pullAfterTx = -1;  // ... or sent since plugging
  };

  explicit ScannerSim(Options opts);
  ~ScannerSim();

  // Runs until "quit" on stdin or end of stdin; returns the process exit code.
  int run();
  // One option or control verb with its value ("silent", "69:2"); false when unknown or bad.
  static bool applyFault(Options &o, const std::string &verb, const std::string &value);

 private:
  bool plug();
  void pull();
  void onLinkReadable();
  void processRx();
  void handleFrame(const std::vector<uint8_t> &frame);
  void reply(uint8_t cmd, const std::vector<uint8_t> &data);
  void ack(uint8_t cmd) { reply(0x55, {cmd}); }
  void sendRaw(const std::vector<uint8_t> &bytes);
  void handleControl(const std::string &line);
  std::string resolveFile(const std::string &name) const;
  std::string pathForNewFile(const std::string &name) const;
  std::vector<uint8_t> identificationData() const;
  std::string clockNow() const;
  void startReceive(const std::string &name, uint32_t size);
  void consumeContent();
  void finishReceive(bool complete);
  void readBlock(uint32_t pos, uint32_t len, const std::string &name);
  void writeDescriptor();
  void removeDescriptor();
  std::string descriptorPath() const;
  void say(const std::string &line);
  void count(uint8_t cmd);

  Options opts_;
  int master_ = -1;
  int slaveKeep_ = -1;  // keeps the pty from hanging up between client opens
  std::string slaveName_;
  std::vector<uint8_t> rx_;
  int64_t partialSinceMs_ = 0;
  std::map<int, uint64_t> served_;  // command byte -> requests served
  uint64_t totalServed_ = 0;
  bool quit_ = false;
  int64_t replugAtMs_ = 0;  // after a reset
  int64_t rxSincePlug_ = 0, txSincePlug_ = 0;
  LinePacer rxPace_, txPace_;
  // clock set by 0x77: the value and when it was set
  std::string clockSet_;
  int64_t clockSetAtSec_ = 0;
  // a file being received after a 0xB0 header
  struct Receive {
    bool active = false;
    std::string name, path;
    uint32_t expected = 0, got = 0;
    std::ofstream out;
    int64_t lastByteMs = 0;
  } recv_;
};
