#include "ScannerSim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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

// Drops a partial frame that has not completed within this time, so one stray byte cannot
// wedge the link.
constexpr int64_t kPartialFrameTimeoutMs = 1000;
}  // namespace

ScannerSim::ScannerSim(Options opts) : opts_(std::move(opts)) {
  if (opts_.descriptorName.empty()) opts_.descriptorName = "ventra-sim-" + std::to_string(opts_.id.serial);
}

ScannerSim::~ScannerSim() { pull(); }

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
  writeDescriptor();
  say("plugged " + slaveName_);
  return true;
}

void ScannerSim::pull() {
  if (master_ < 0) return;
  removeDescriptor();
  if (slaveKeep_ >= 0) ::close(slaveKeep_);
  ::close(master_);
  master_ = slaveKeep_ = -1;
  rx_.clear();
  say("pulled");
}

void ScannerSim::sendRaw(const std::vector<uint8_t> &bytes) {
  size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += size_t(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
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
  if (opts_.replyDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(opts_.replyDelayMs));
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

std::vector<uint8_t> ScannerSim::identificationData() const {
  const auto &id = opts_.id;
  std::vector<uint8_t> d(Id72::DataLen, 0);
  auto at = [&](size_t off) -> uint8_t & { return d[off - 2]; };
  at(Id72::Firmware) = uint8_t(id.firmware >> 8);
  at(Id72::Firmware + 1) = uint8_t(id.firmware);
  at(Id72::Type) = uint8_t(id.typeCode);
  at(Id72::ServicePack) = uint8_t(id.servicePack >> 8);
  at(Id72::ServicePack + 1) = uint8_t(id.servicePack);
  at(Id72::Language) = id.language;
  at(Id72::FileSystem) = id.fileSystem;
  at(Id72::Company) = id.company;
  for (int i = 0; i < 8; ++i) at(Id72::Uuid + size_t(i)) = uint8_t(id.uuid >> (8 * i));
  for (int i = 0; i < 3; ++i) at(Id72::UpdateDate + size_t(i)) = bcd(id.updateDate, size_t(2 * i));
  std::string clock = id.clock;
  if (clock.size() != 12) {
    char buf[16];
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    std::strftime(buf, sizeof buf, "%y%m%d%H%M%S", &tm);
    clock = buf;
  }
  for (int i = 0; i < 6; ++i) at(Id72::Clock + size_t(i)) = bcd(clock, size_t(2 * i));
  return d;
}

void ScannerSim::handleFrame(const std::vector<uint8_t> &f) {
  const uint8_t cmd = f[1];
  auto silent = opts_.silentCommands.find(cmd);
  if (silent != opts_.silentCommands.end() && silent->second != 0) {
    if (silent->second > 0) --silent->second;
    return;
  }
  auto nameAt = [&](size_t off) {
    std::string s;
    for (size_t i = off; i < f.size() - 2 && f[i] != 0; ++i) s.push_back(char(f[i]));
    return s;
  };
  bool served = true;
  switch (cmd) {
    case Cmd::SerialNumber: {
      const uint32_t s = opts_.id.serial;
      reply(cmd, {uint8_t(s >> 24), uint8_t(s >> 16), uint8_t(s >> 8), uint8_t(s)});
      break;
    }
    case Cmd::Identification:
      reply(cmd, identificationData());
      break;
    case Cmd::Presence:
      reply(Cmd::Ack, {Cmd::Presence});
      break;
    case Cmd::SubCommand:
      if (f.size() > 4 && f[2] == SubCmd::ExtendedIdentification) {
        const uint16_t sp = opts_.id.servicePack;
        reply(cmd, {SubCmd::ExtendedIdentification, uint8_t(sp >> 8), uint8_t(sp), opts_.id.softwareVersion});
      } else {
        reply(Cmd::Ack, {Cmd::SubCommand});
      }
      break;
    case Cmd::FileSize: {
      const std::string path = resolveFile(nameAt(4));
      std::error_code ec;
      const uint32_t size = path.empty() ? 0 : uint32_t(fs::file_size(path, ec));
      reply(cmd, {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
      break;
    }
    case Cmd::FileCrc: {
      const std::string path = resolveFile(nameAt(4));
      // A file it does not hold answers 1: callers read "greater than 1" as present.
      uint64_t crc = 1;
      if (!path.empty()) crc = TryCalcCRC64File(QString::fromStdString(path)).value_or(1);
      std::vector<uint8_t> d;
      for (int i = 7; i >= 0; --i) d.push_back(uint8_t(crc >> (8 * i)));
      reply(cmd, d);
      break;
    }
    default:
      served = false;  // unknown commands go unanswered, like the real unit
      break;
  }
  if (served) {
    ++served_[cmd];
    ++totalServed_;
  }
}

void ScannerSim::processRx() {
  while (!rx_.empty()) {
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
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      rx_.insert(rx_.end(), buf, buf + n);
      continue;
    }
    break;  // EAGAIN, or EIO while no client holds the slave: nothing to do
  }
  processRx();
}

void ScannerSim::handleControl(const std::string &line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  if (verb == "quit") {
    quit_ = true;
  } else if (verb == "pull") {
    pull();
  } else if (verb == "plug") {
    plug();
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
  } else if (!verb.empty()) {
    say("error unknown control command: " + verb);
  }
}

int ScannerSim::run() {
  if (opts_.startPlugged && !plug()) return 1;
  std::string ctl;
  bool stdinOpen = true;
  while (!quit_) {
    pollfd fds[2];
    int n = 0;
    fds[n++] = {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0};
    if (master_ >= 0) fds[n++] = {master_, POLLIN, 0};
    const int timeout = partialSinceMs_ ? int(kPartialFrameTimeoutMs) : 1000;
    if (::poll(fds, nfds_t(n), timeout) < 0 && errno != EINTR) break;
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
  }
  pull();
  return 0;
}
