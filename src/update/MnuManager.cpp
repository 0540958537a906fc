#include "update/MnuManager.h"

#include <QFileInfo>

namespace {

// Base names by type ordinal; a trailing '+' takes the language digit before ".MNU".
constexpr const char *kMnuBase[kMnuTypeCount] = {
    "M902+", "M903+", "M904+", "M907+", "M909+", "M911+", "M912+",  "M916+",  "M917+",  "M918+",  "M919+",
    "M920+", "M929+", "M930+", "M931+", "M932+", "M933+", "A00001", "A00002", "A00003", "A00004", "A00005",
    "M000",  "M010+", "M011+", "M020+", "M021+", "M030+", "M031+",  "M040+",  "M041+",  "M050+",  "M9000",
    "M9010", "M9050", "M9060", "M9080", "M9100", "M9130", "M9140",  "M9150",  "M9210",  "M9220",  "M9230",
    "M9240", "M9250", "M9260", "M9270", "M9280", "M590",  "M690",   "M790",   "M791",
};

struct TypeRange {
  int first, last;
  bool v3v4Only;
};
// The required types, in the order the list is built.
constexpr TypeRange kRequired[] = {{0, 11, false},  {23, 31, false}, {12, 16, true},
                                   {17, 21, false}, {32, 46, false}, {50, 52, false}};

}  // namespace

QString MnuLanguageDigit(TMnuLanguage language) {
  switch (language) {
    case TMnuLanguage::mnuPT:
      return QStringLiteral("0");
    case TMnuLanguage::mnuES:
      return QStringLiteral("1");
    case TMnuLanguage::mnuEN:
      return QStringLiteral("2");
    default:
      return {};
  }
}

QString MnuFileName(TMnuType type, TMnuLanguage language) {
  const int t = int(type);
  if (t < 0 || t >= kMnuTypeCount) return {};
  QString base = QString::fromLatin1(kMnuBase[t]);
  if (base.endsWith('+')) {
    base.chop(1);
    base += MnuLanguageDigit(language);
  }
  return base + QStringLiteral(".MNU");
}

int64_t TClassMnuInfo::GetFileSize() const {
  const QFileInfo fi(FPath + QStringLiteral("/") + FFileName);
  return fi.isFile() ? fi.size() : 0;
}

void TClassMnuManager::PrepareList() {
  for (const TypeRange &range : kRequired) {
    if (range.v3v4Only && FScannerFamily != TScannerFamily::tfV3_V4) continue;
    for (int t = range.first; t <= range.last; ++t) {
      auto info = std::make_unique<TClassMnuInfo>();
      info->SetMnuType(TMnuType(t));
      info->SetFileName(MnuFileName(TMnuType(t), FLanguage));
      FFiles.push_back(std::move(info));
    }
  }
}
