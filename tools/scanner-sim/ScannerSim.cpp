#include "ScannerSim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "protocol/Crc64.h"
#include "protocol/FrameLayout.h"

namespace fs = std::filesystem;
using namespace FrameLayout;

namespace {
int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint8_t bcd(const std::string &digits, size_t at) {
  if (digits.size() < at + 2) return 0;
  return uint8_t(((digits[at] - '0') << 4) | (digits[at + 1] - '0'));
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

uint32_t le32(const std::vector<uint8_t> &f, size_t at) {
  if (f.size() < at + 4) return 0;
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

// "CMD[:N]" with CMD in hex; N defaults to def.
bool parseCmdCount(const std::string &v, int &cmd, int &n, int def) {
  const auto colon = v.find(':');
  char *end = nullptr;
  const std::string c = v.substr(0, colon);
  cmd = int(std::strtol(c.c_str(), &end, 16));
  if (c.empty() || *end || cmd < 0 || cmd > 255) return false;
  n = colon == std::string::npos ? def : std::atoi(v.c_str() + colon + 1);
  return true;
}

// Drops a partial frame that has not completed within this time, so one stray byte cannot
// wedge the link.
constexpr int64_t kPartialFrameTimeoutMs = 1000;
// A write whose content stops arriving is abandoned after this long (what arrived is kept).
constexpr int64_t kContentTimeoutMs = 5000;
constexpr uint32_t kBlock = 4096;
}  // namespace

// ---- LinePacer ----

void LinePacer::restart() {
  tokens_ = 0;
  last_ = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
}

void LinePacer::refill() {
  const int64_t now =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  tokens_ = std::min(kBurst, tokens_ + double(now - last_) / 1000.0 * perMs_);
  last_ = now;
}

size_t LinePacer::take(size_t want) {
  if (!active()) return want;
  refill();
  const size_t n = std::min(want, size_t(tokens_));
  tokens_ -= double(n);
  return n;
}

int LinePacer::msUntilNext() {
  if (!active()) return 0;
  refill();
  if (tokens_ >= 1) return 0;
  return std::max(1, int((1.0 - tokens_) / perMs_ + 0.999));
}

// ---- ScannerSim ----

ScannerSim::ScannerSim(Options opts) : opts_(std::move(opts)) {
  if (opts_.descriptorName.empty()) opts_.descriptorName = "ventra-sim-" + std::to_string(opts_.id.serial);
  rxPace_.setRate(opts_.paceBytesPerSec);
  txPace_.setRate(opts_.paceBytesPerSec);
}

ScannerSim::~ScannerSim() { pull(); }

bool ScannerSim::applyFault(Options &o, const std::string &verb, const std::string &value) {
  int cmd = 0, n = 0;
  if (verb == "silent") {
    if (!parseCmdCount(value, cmd, n, -1)) return false;
    o.silentCommands[cmd] = n;
  } else if (verb == "late") {
    if (!parseCmdCount(value, cmd, n, 1000)) return false;
    o.lateCommands[cmd] = n;
  } else if (verb == "bad-crc") {
    const auto colon = value.find(':');
    if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return false;
    o.badCrcBlocks[uint32_t(std::strtoul(value.substr(0, colon).c_str(), nullptr, 10))] =
        colon == std::string::npos ? 1 : std::atoi(value.c_str() + colon + 1);
  } else if (verb == "pull-after-rx") {
    o.pullAfterRx = std::atoll(value.c_str());
  } else if (verb == "pull-after-tx") {
    o.pullAfterTx = std::atoll(value.c_str());
  } else if (verb == "delay-ms") {
    o.replyDelayMs = std::atoi(value.c_str());
  } else {
    return false;
  }
  return true;
}

void ScannerSim::say(const std::string &line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string ScannerSim::descriptorPath() const { return opts_.devicesDir + "/" + opts_.descriptorName + ".json"; }

void ScannerSim::writeDescriptor() {
  std::error_code ec;
  fs::create_directories(opts_.devicesDir, ec);
  // Written aside and renamed, so a watcher never sees half a descriptor.
  const std::string tmp = opts_.devicesDir + "/." + opts_.descriptorName + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << "{\"port\":\"" << slaveName_ << "\",\"vid\":\"" << opts_.id.vid << "\",\"pid\":\"" << opts_.id.pid
        << "\",\"name\":\"" << opts_.id.name << "\",\"serial\":" << opts_.id.serial << "}\n";
  }
  fs::rename(tmp, descriptorPath(), ec);
}

void ScannerSim::removeDescriptor() {
  std::error_code ec;
  fs::remove(descriptorPath(), ec);
}

bool ScannerSim::plug() {
  if (master_ >= 0) return true;
  replugAtMs_ = 0;
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    say(std::string("error cannot open a pseudo-terminal: ") + std::strerror(errno));
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    return false;
  }
  slaveName_ = ::ptsname(master_);
  slaveKeep_ = ::open(slaveName_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeep_ >= 0) {
    termios tio{};
    ::tcgetattr(slaveKeep_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveKeep_, TCSANOW, &tio);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  rx_.clear();
  rxSincePlug_ = txSincePlug_ = 0;
  rxPace_.restart();
  txPace_.restart();
  writeDescriptor();
  say("plugged " + slaveName_);
  return true;
}

void ScannerSim::pull() {
  if (master_ < 0) return;
  if (recv_.active) finishReceive(false);
  removeDescriptor();
  if (slaveKeep_ >= 0) ::close(slaveKeep_);
  ::close(master_);
  master_ = slaveKeep_ = -1;
  rx_.clear();
  partialSinceMs_ = 0;
  say("pulled");
}

void ScannerSim::sendRaw(const std::vector<uint8_t> &bytes) {
  size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    size_t want = bytes.size() - done;
    bool pullNow = false;
    if (opts_.pullAfterTx >= 0 && txSincePlug_ + int64_t(want) >= opts_.pullAfterTx) {
      want = size_t(std::max<int64_t>(0, opts_.pullAfterTx - txSincePlug_));
      pullNow = true;
    }
    const size_t allowed = txPace_.take(want);
    if (allowed == 0 && want > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(txPace_.msUntilNext()));
      continue;
    }
    size_t sent = 0;
    while (master_ >= 0 && sent < allowed) {
      const ssize_t n = ::write(master_, bytes.data() + done + sent, allowed - sent);
      if (n > 0) {
        sent += size_t(n);
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 100);
      } else {
        return;
      }
    }
    done += sent;
    txSincePlug_ += int64_t(sent);
    if (pullNow && sent == want) {
      opts_.pullAfterTx = -1;
      ::tcdrain(master_);
      pull();
      return;
    }
  }
}

void ScannerSim::reply(uint8_t cmd, const std::vector<uint8_t> &data) {
  std::vector<uint8_t> f;
  f.reserve(data.size() + 4);
  f.push_back(uint8_t(data.size() + 1));
  f.push_back(cmd);
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t c = checksum(f.data(), f.size());
  f.push_back(uint8_t(c >> 8));
  f.push_back(uint8_t(c & 0xFF));
  sendRaw(f);
}

std::string ScannerSim::resolveFile(const std::string &name) const {
  // The scanner's file system ignores case, like the FAT volume of the real unit.
  const std::string want = lower(name);
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(opts_.filesDir, ec)) {
    if (e.is_regular_file() && lower(e.path().filename().string()) == want) return e.path().string();
  }
  return {};
}

std::string ScannerSim::pathForNewFile(const std::string &name) const {
  // Only plain names inside the files folder; anything else is refused.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos)
    return {};
  const std::string existing = resolveFile(name);
  return existing.empty() ? opts_.filesDir + "/" + name : existing;
}

std::string ScannerSim::clockNow() const {
  std::tm tm{};
  std::time_t t = std::time(nullptr);
  if (clockSet_.size() == 12 || opts_.id.clock.size() == 12) {
    const std::string &base = clockSet_.size() == 12 ? clockSet_ : opts_.id.clock;
    auto two = [&](size_t at) { return (base[at] - '0') * 10 + (base[at + 1] - '0'); };
    tm.tm_year = 100 + two(0);
    tm.tm_mon = two(2) - 1;
    tm.tm_mday = two(4);
    tm.tm_hour = two(6);
    tm.tm_min = two(8);
    tm.tm_sec = two(10);
    // a clock set by 0x77 runs on from the moment it was set
    t = ::timegm(&tm) + (clockSet_.size() == 12 ? std::time(nullptr) - clockSetAtSec_ : 0);
    ::gmtime_r(&t, &tm);
  } else {
    ::localtime_r(&t, &tm);
  }
  char buf[16];
  std::strftime(buf, sizeof buf, "%y%m%d%H%M%S", &tm);
  return buf;
}

std::vector<uint8_t> ScannerSim::identificationData() const {
  const auto &id = opts_.id;
  std::vector<uint8_t> d(Id72::DataLen, 0);
  auto at = [&](size_t off) -> uint8_t & { return d[off - 2]; };
  at(Id72::Firmware) = uint8_t(id.firmware >> 8);
  at(Id72::Firmware + 1) = uint8_t(id.firmware);
  at(Id72::Type) = uint8_t(id.typeCode);
  const uint16_t sp = id.typeCode == 2 ? 0 : id.servicePack;
  at(Id72::ServicePack) = uint8_t(sp >> 8);
  at(Id72::ServicePack + 1) = uint8_t(sp);
  at(Id72::Language) = id.language;
  at(Id72::FileSystem) = id.fileSystem;
  at(Id72::Company) = id.company;
  for (int i = 0; i < 8; ++i) at(Id72::Uuid + size_t(i)) = uint8_t(id.uuid >> (8 * i));
  for (int i = 0; i < 3; ++i) at(Id72::UpdateDate + size_t(i)) = bcd(id.updateDate, size_t(2 * i));
  const std::string clock = clockNow();
  for (int i = 0; i < 6; ++i) at(Id72::Clock + size_t(i)) = bcd(clock, size_t(2 * i));
  return d;
}

void ScannerSim::count(uint8_t cmd) {
  ++served_[cmd];
  ++totalServed_;
}

void ScannerSim::startReceive(const std::string &name, uint32_t size) {
  recv_.active = true;
  recv_.name = name;
  recv_.path = pathForNewFile(name);
  recv_.expected = size;
  recv_.got = 0;
  recv_.lastByteMs = nowMs();
  if (!recv_.path.empty()) recv_.out.open(recv_.path, std::ios::binary | std::ios::trunc);
  ack(Cmd::WriteFile);
  if (size == 0) finishReceive(true);
}

void ScannerSim::consumeContent() {
  if (!recv_.active || rx_.empty()) return;
  const size_t n = std::min<size_t>(rx_.size(), recv_.expected - recv_.got);
  if (recv_.out.is_open()) recv_.out.write(reinterpret_cast<const char *>(rx_.data()), std::streamsize(n));
  rx_.erase(rx_.begin(), rx_.begin() + long(n));
  recv_.got += uint32_t(n);
  recv_.lastByteMs = nowMs();
  if (recv_.got == recv_.expected) finishReceive(true);
}

void ScannerSim::finishReceive(bool complete) {
  // what arrived stays on the file system, as on the real unit: a later CRC check tells
  if (recv_.out.is_open()) recv_.out.close();
  recv_.active = false;
  say(std::string(complete ? "stored " : "partial ") + recv_.name + " " + std::to_string(recv_.got));
  if (complete) ack(Cmd::WriteFile);
}

void ScannerSim::readBlock(uint32_t pos, uint32_t len, const std::string &name) {
  const std::string path = resolveFile(name);
  std::vector<uint8_t> data;
  bool ok = !path.empty();
  if (ok) {
    std::error_code ec;
    const uint64_t size = fs::file_size(path, ec);
    ok = !ec && len > 0 && uint64_t(pos) + len <= size;
    if (ok) {
      std::ifstream in(path, std::ios::binary);
      in.seekg(std::streamoff(pos));
      data.resize(len);
      in.read(reinterpret_cast<char *>(data.data()), std::streamsize(len));
      ok = in.gcount() == std::streamsize(len);
    }
  }
  std::vector<uint8_t> out;
  if (!ok) {
    // the refusal: the trailer alone, with FF where the position and length would be and no CRC
    out = {0x11, 0xBF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
  } else {
    uint64_t crc = CalcCRC64Buffer(data.data(), data.size());
    auto bad = opts_.badCrcBlocks.find(pos / kBlock);
    if (bad != opts_.badCrcBlocks.end() && bad->second != 0) {
      if (bad->second > 0) --bad->second;
      crc ^= 0x1;
    }
    out = data;
    out.push_back(0x11);
    out.push_back(Cmd::ReadBlock);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(pos >> (8 * i)));
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(len >> (8 * i)));
    for (int i = 7; i >= 0; --i) out.push_back(uint8_t(crc >> (8 * i)));
  }
  const size_t trailer = out.size() - 18;
  const uint16_t c = checksum(out.data() + trailer, 18);
  out.push_back(uint8_t(c >> 8));
  out.push_back(uint8_t(c & 0xFF));
  sendRaw(out);
}

void ScannerSim::handleFrame(const std::vector<uint8_t> &f) {
  const uint8_t cmd = f[1];
  auto silent = opts_.silentCommands.find(cmd);
  if (silent != opts_.silentCommands.end() && silent->second != 0) {
    if (silent->second > 0) --silent->second;
    return;
  }
  int delay = opts_.replyDelayMs;
  if (auto late = opts_.lateCommands.find(cmd); late != opts_.lateCommands.end()) delay += late->second;
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  auto nameAt = [&](size_t off) {
    std::string s;
    for (size_t i = off; i < f.size() - 2 && f[i] != 0; ++i) s.push_back(char(f[i]));
    return s;
  };
  switch (cmd) {
    case Cmd::SerialNumber: {
      count(cmd);
      const uint32_t s = opts_.id.serial;
      reply(cmd, {uint8_t(s >> 24), uint8_t(s >> 16), uint8_t(s >> 8), uint8_t(s)});
      break;
    }
    case Cmd::Identification:
      count(cmd);
      reply(cmd, identificationData());
      break;
    case Cmd::Presence:
      count(cmd);
      ack(Cmd::Presence);
      break;
    case Cmd::SubCommand:
      count(cmd);
      if (f.size() > 4 && f[2] == SubCmd::ExtendedIdentification) {
        const uint16_t sp = opts_.id.servicePack;
        reply(cmd, {SubCmd::ExtendedIdentification, uint8_t(sp >> 8), uint8_t(sp), opts_.id.softwareVersion});
      } else {
        ack(Cmd::SubCommand);
      }
      break;
    case Cmd::FileSize: {
      count(cmd);
      const std::string path = resolveFile(nameAt(4));
      std::error_code ec;
      const uint32_t size = path.empty() ? 0 : uint32_t(fs::file_size(path, ec));
      reply(cmd, {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
      break;
    }
    case Cmd::FileCrc: {
      count(cmd);
      const std::string path = resolveFile(nameAt(4));
      // A file it does not hold answers 1: callers read "greater than 1" as present.
      uint64_t crc = 1;
      if (!path.empty()) crc = TryCalcCRC64File(QString::fromStdString(path)).value_or(1);
      std::vector<uint8_t> d;
      for (int i = 7; i >= 0; --i) d.push_back(uint8_t(crc >> (8 * i)));
      reply(cmd, d);
      break;
    }
    case Cmd::WriteFile:
      count(cmd);
      startReceive(nameAt(8), le32(f, 4));
      break;
    case Cmd::ReadBlock:
      count(cmd);
      readBlock(le32(f, 2), le32(f, 6), nameAt(10));
      break;
    case Cmd::DeleteFile: {
      count(cmd);
      const std::string path = resolveFile(nameAt(4));
      std::error_code ec;
      if (!path.empty()) fs::remove(path, ec);
      ack(Cmd::DeleteFile);
      break;
    }
    case Cmd::SetLanguage:
      count(cmd);
      if (f.size() > 4) opts_.id.language = f[2];
      ack(Cmd::SetLanguage);
      break;
    case Cmd::SetClock: {
      count(cmd);
      char buf[16] = {};
      for (int i = 0; i < 6 && size_t(2 + i) < f.size() - 2; ++i) std::snprintf(buf + 2 * i, 3, "%02X", f[size_t(2 + i)]);
      clockSet_ = buf;
      clockSetAtSec_ = std::time(nullptr);
      ack(Cmd::SetClock);
      say("clock " + clockSet_);
      break;
    }
    case Cmd::Reset:
      count(cmd);
      // the unit restarts: gone from the bus for a while, then back with the same identity and files
      pull();
      replugAtMs_ = nowMs() + std::max(opts_.resetDelayMs, 0);
      break;
    default:
      break;  // unknown commands go unanswered, like the real unit
  }
}

void ScannerSim::processRx() {
  while (!rx_.empty() && master_ >= 0) {
    if (recv_.active) {
      consumeContent();
      continue;
    }
    const size_t len = rx_[0];
    if (len == 0) {  // no frame starts with LEN 0: resynchronise
      rx_.erase(rx_.begin());
      continue;
    }
    if (rx_.size() < len + 3) {
      if (partialSinceMs_ == 0) partialSinceMs_ = nowMs();
      return;
    }
    partialSinceMs_ = 0;
    std::vector<uint8_t> frame(rx_.begin(), rx_.begin() + long(len + 3));
    const uint16_t c = checksum(frame.data(), len + 1);
    if (frame[len + 1] != (c >> 8) || frame[len + 2] != (c & 0xFF)) {
      rx_.erase(rx_.begin());  // damaged: slide one byte and look again
      continue;
    }
    rx_.erase(rx_.begin(), rx_.begin() + long(len + 3));
    handleFrame(frame);
  }
  partialSinceMs_ = 0;
}

void ScannerSim::onLinkReadable() {
  uint8_t buf[4096];
  bool pullNow = false;
  for (;;) {
    size_t want = sizeof buf;
    if (opts_.pullAfterRx >= 0) {
      want = size_t(std::clamp<int64_t>(opts_.pullAfterRx - rxSincePlug_, 0, int64_t(sizeof buf)));
      if (want == 0) {
        pullNow = true;
        break;
      }
    }
    want = rxPace_.take(want);
    if (want == 0) break;
    const ssize_t n = ::read(master_, buf, want);
    if (n <= 0) rxPace_.refund(want);
    if (n > 0) {
      rx_.insert(rx_.end(), buf, buf + n);
      rxSincePlug_ += n;
      if (size_t(n) < want) rxPace_.refund(want - size_t(n));  // unused budget stays for next time
      continue;
    }
    break;  // EAGAIN, or EIO while no client holds the slave: nothing to do
  }
  processRx();
  if (pullNow || (opts_.pullAfterRx >= 0 && rxSincePlug_ >= opts_.pullAfterRx)) {
    opts_.pullAfterRx = -1;
    pull();
  }
}

void ScannerSim::handleControl(const std::string &line) {
  std::istringstream in(line);
  std::string verb, value;
  in >> verb >> value;
  if (verb == "quit") {
    quit_ = true;
  } else if (verb == "pull") {
    pull();
  } else if (verb == "plug") {
    if (!plug()) say("error plug failed");
  } else if (verb == "stats") {
    std::ostringstream out;
    out << "stats total=" << totalServed_;
    for (const auto &[cmd, n] : served_) {
      char key[8];
      std::snprintf(key, sizeof key, "%02X", cmd);
      out << " " << key << "=" << n;
    }
    say(out.str());
  } else if (verb == "reset-stats") {
    served_.clear();
    totalServed_ = 0;
    say("stats reset");
  } else if (applyFault(opts_, verb, value)) {
    say("ok " + verb);
  } else if (!verb.empty()) {
    say("error unknown control command: " + line);
  }
}

int ScannerSim::run() {
  if (opts_.startPlugged && !plug()) return 1;
  std::string ctl;
  bool stdinOpen = true;
  while (!quit_) {
    pollfd fds[2];
    nfds_t n = 0;
    fds[n++] = {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0};
    int timeout = 1000;
    if (partialSinceMs_) timeout = int(kPartialFrameTimeoutMs);
    if (master_ >= 0) {
      const int wait = rxPace_.msUntilNext();
      // a paced line takes no byte before its budget allows
      fds[n++] = {master_, short(wait > 0 ? 0 : POLLIN), 0};
      if (wait > 0) timeout = std::min(timeout, wait);
    }
    if (replugAtMs_) timeout = int(std::clamp<int64_t>(replugAtMs_ - nowMs(), 0, timeout));
    if (::poll(fds, n, timeout) < 0 && errno != EINTR) break;
    if (stdinOpen && (fds[0].revents & (POLLIN | POLLHUP))) {
      char buf[512];
      const ssize_t r = ::read(STDIN_FILENO, buf, sizeof buf);
      if (r <= 0) {
        stdinOpen = false;
        quit_ = true;  // the parent went away
      } else {
        ctl.append(buf, size_t(r));
        size_t nl;
        while ((nl = ctl.find('\n')) != std::string::npos) {
          handleControl(ctl.substr(0, nl));
          ctl.erase(0, nl + 1);
        }
      }
    }
    if (master_ >= 0 && n > 1 && (fds[1].revents & POLLIN)) onLinkReadable();
    if (partialSinceMs_ && nowMs() - partialSinceMs_ > kPartialFrameTimeoutMs) {
      rx_.clear();
      partialSinceMs_ = 0;
    }
    if (recv_.active && nowMs() - recv_.lastByteMs > kContentTimeoutMs) finishReceive(false);
    if (replugAtMs_ && nowMs() >= replugAtMs_) plug();
  }
  pull();
  return 0;
}
