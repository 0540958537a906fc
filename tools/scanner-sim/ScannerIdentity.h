#pragma once
#include <cstdint>
#include <string>

// What the simulated scanner reports about itself in its identification replies.
struct ScannerIdentity {
  int typeCode = 10;             // Ventra V5
  uint32_t serial = 512345;
  uint16_t firmware = 0x0512;    // reads as "0518"
  uint16_t servicePack = 40;
  uint8_t language = 0;          // 0 PT, 1 ES, 2 EN
  uint8_t fileSystem = 1;        // 1 = sound
  uint8_t company = 1;
  uint64_t uuid = 0x1122334455667788ULL;
  std::string updateDate = "260101";  // YYMMDD, BCD on the wire
  std::string clock;                  // YYMMDDhhmmss; empty = the host's local time
  uint8_t softwareVersion = 102;      // Checkline's 0xAF/0x72 reply
  // A Checkline reports its service pack only in the 0xAF/0x72 reply; its identification
  // record carries 0 there.
  std::string vid = "2956";
  std::string pid = "2001";
  std::string name = "Ventra scanner";
};
