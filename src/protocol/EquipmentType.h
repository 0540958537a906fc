#pragma once
#include <QString>

// Scanner models; the ordinal is the type code the scanner reports in its identification record.
enum class TType_Equipamento : int {
  VersaoDesc = 0,
  VersaoDesc2 = 1,
  Checkline = 2,
  VentraV2 = 3,
  VentraV3 = 4,
  Omnibox2 = 5,
  VentraRTX = 6,
  VentraPad = 7,
  VentraV4 = 8,
  VentraPad2 = 9,
  VentraV5 = 10,
  VentraPad3 = 11,
  VentraV5X = 12,
  VentraPad3X = 13,
  VentraV6 = 14,
  VentraV6S = 15,
};

enum class TEquipFamily { None, V3Family, V4Family, V5Family, V6Family };

struct EquipmentTypeInfo {
  TType_Equipamento type;
  const char *displayName;
  TEquipFamily family;
  bool comLogs;               // EquipComLogs
  bool upperV3AndCheckline;   // EquipUpperV3andCheckline
};

// One row per ordinal 0..15.
inline constexpr EquipmentTypeInfo kEquipmentTypes[] = {
    {TType_Equipamento::VersaoDesc, "", TEquipFamily::None, false, false},
    {TType_Equipamento::VersaoDesc2, "", TEquipFamily::None, false, false},
    {TType_Equipamento::Checkline, "Checkline", TEquipFamily::None, false, true},
    {TType_Equipamento::VentraV2, "Ventralink V2", TEquipFamily::None, false, false},
    {TType_Equipamento::VentraV3, "Ventra V3", TEquipFamily::V3Family, true, true},
    {TType_Equipamento::Omnibox2, "Omnibox 2", TEquipFamily::V3Family, false, false},
    {TType_Equipamento::VentraRTX, "Ventra RTX", TEquipFamily::V3Family, false, false},
    {TType_Equipamento::VentraPad, "Ventra Pad", TEquipFamily::V3Family, false, false},
    {TType_Equipamento::VentraV4, "Ventra V4", TEquipFamily::V4Family, true, true},
    {TType_Equipamento::VentraPad2, "Ventra Pad 2", TEquipFamily::V4Family, false, false},
    {TType_Equipamento::VentraV5, "Ventra V5", TEquipFamily::V5Family, true, true},
    {TType_Equipamento::VentraPad3, "Ventra Pad 3", TEquipFamily::V5Family, true, true},
    {TType_Equipamento::VentraV5X, "Ventra V5X", TEquipFamily::V5Family, true, true},
    {TType_Equipamento::VentraPad3X, "Ventra Pad 3X", TEquipFamily::V5Family, true, true},
    {TType_Equipamento::VentraV6, "Ventra V6", TEquipFamily::V6Family, true, true},
    {TType_Equipamento::VentraV6S, "Ventra V6S", TEquipFamily::V6Family, true, true},
};

// Codes 2..15 map to their model; every other code is VersaoDesc (no valid scanner).
constexpr TType_Equipamento TipoEquipamentoFromCode(int code) {
  return (code >= 2 && code <= 15) ? static_cast<TType_Equipamento>(code) : TType_Equipamento::VersaoDesc;
}
constexpr const EquipmentTypeInfo &EquipmentInfo(TType_Equipamento t) { return kEquipmentTypes[int(t)]; }
inline QString TipoEquipamentoStr(TType_Equipamento t) { return QString::fromLatin1(EquipmentInfo(t).displayName); }
