// Preparing the update list for a 10,000-file service pack against 10,000 scanner records:
// the indexed lookups of TClassServicePackManager against a plain linear-search version of the
// same rules. Prints both times (median of several runs) and the ratio; fails if the lists differ.
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "update/MnuManager.h"
#include "update/ServicePackManager.h"

namespace {

using Clock = std::chrono::steady_clock;
using T = TType_Equipamento;
constexpr int kEntries = 10000;
constexpr int kRecords = 10000;

// A large service pack: every kind of file, many of each.
QStringList servicePackNames() {
  QStringList n;
  for (int i = 0; i < 600; ++i) n << QString("S%1.V6").arg(i, 4, 10, QChar('0'));
  const char *langs[] = {"PT", "ES", "EN"};
  for (int i = 0; i < 2400; ++i) n << QString("S%1_%2.BIN").arg(i % 1200, 4, 10, QChar('0')).arg(langs[i % 3]);
  for (int i = 0; i < 1500; ++i) n << QString("S%1_%2.SMK").arg(i % 900, 4, 10, QChar('0')).arg(i % 3);
  for (auto lang : {TMnuLanguage::mnuPT, TMnuLanguage::mnuES, TMnuLanguage::mnuEN}) {
    TClassMnuManager mm;
    mm.SetLanguage(lang);
    mm.PrepareList();
    for (const auto &f : mm.Files()) n << f->FileName();
  }
  for (int i = 0; n.size() < 6500; ++i) n << QString("M%1.MNU").arg(20000 + i);
  for (int i = 0; i < 2000; ++i) n << QString("IM%1.BMP").arg(i * 37 % 100000, 6, 10, QChar('0'));
  for (int i = 0; i <= 20; ++i) n << QString("IM6%1.BMP").arg(i, 5, 10, QChar('0'));
  for (int i = 0; n.size() < kEntries - 1; ++i) n << QString("S%1.FLX").arg(i, 4, 10, QChar('0'));
  n << "M000.MNU";
  return n;
}

void fill(TClassServicePackManager &sp) {
  int i = 0;
  for (const QString &name : servicePackNames()) {
    sp.CrcManager().Add(uint32_t(1000 + i), name, QString::number(0xFFFF0000ull + uint64_t(i) * 7919));
    ++i;
  }
  // scanner records: a third equal, a third with another CRC, a third of files the pack does not have
  const auto &list = sp.CrcManager().Lista();
  for (int r = 0; r < kRecords; ++r) {
    const auto &e = list[size_t((r * 7) % list.size())];
    if (r % 3 == 0)
      sp.CrcManagerVT().Add(e->Sz(), e->Fn(), e->Crc());
    else if (r % 3 == 1)
      sp.CrcManagerVT().Add(e->Sz(), e->Fn(), "1");
    else
      sp.CrcManagerVT().Add(1, QString("OLD%1.MNU").arg(r), "2");
  }
}

// ---- the same rules with linear searches everywhere (images: the V4 rule, the model measured)

QString stemOf(const QString &u) {
  qsizetype cut = u.indexOf('_');
  if (cut < 0) cut = u.indexOf('.');
  return cut < 0 ? u : u.left(cut);
}

QStringList linearPrepare(const TClassServicePackManager &sp, T tipo, int idioma) {
  const auto &src = const_cast<TClassServicePackManager &>(sp).CrcManager().Lista();
  const auto &vt = const_cast<TClassServicePackManager &>(sp).CrcManagerVT().Lista();
  const int lang = (idioma == 1 || idioma == 2) ? idioma : 0;
  std::vector<const TClassFileCrcControlValue *> out;
  for (const auto &e : src)
    if (e->Fn().toUpper().endsWith(".V6")) out.push_back(e.get());
  auto hasV6Stem = [&](const QString &upper) {
    for (const auto *o : out) {
      const QString u = o->Fn().toUpper();
      if (u.endsWith(".V6") && stemOf(u) == stemOf(upper)) return true;
    }
    return false;
  };
  auto addUnlessV6 = [&](const QString &suffix) {
    for (const auto &e : src) {
      const QString u = e->Fn().toUpper();
      if (u.endsWith(suffix) && !hasV6Stem(u)) out.push_back(e.get());
    }
  };
  const bool v3v4 = int(tipo) <= int(T::VentraPad2);
  if (v3v4) {
    const char *suffix[] = {"_PT.BIN", "_ES.BIN", "_EN.BIN"};
    addUnlessV6(suffix[lang]);
    addUnlessV6(QString("_%1.SMK").arg(lang));
  }
  TClassMnuManager mnu;
  mnu.SetLanguage(TMnuLanguage(lang));
  mnu.SetScannerFamily(v3v4 ? TScannerFamily::tfV3_V4 : TScannerFamily::tfV5_V6);
  mnu.PrepareList();
  for (const auto &info : mnu.Files())
    for (const auto &e : src)
      if (e->Fn() == info->FileName()) {
        out.push_back(e.get());
        break;
      }
  QStringList v4 = {"IM090032.BMP", "IM090027.BMP", "IM090024.BMP", "IM090016.BMP", "IM090017.BMP", "IM090018.BMP",
                    "IM090013.BMP", "IM090008.BMP", "IM090007.BMP", "IM039000.BMP", "IM035001.BMP", "IM035002.BMP",
                    "IM029000.BMP", "IM026020.BMP", "IM025002.BMP", "IM025001.BMP", "IM016020.BMP"};
  QStringList v5 = v4;
  v5 << "IM000400.BMP"
     << "IM001060.BMP"
     << "IM002022.BMP"
     << "IM040000.BMP"
     << "IM090025.BMP"
     << "IM090026.BMP"
     << "IM090031.BMP"
     << "START.BMP"
     << "STARTV5.BMP"
     << "STARTV5X.BMP";
  QStringList v6 = {"STARTV6.BMP", "STARTV6S.BMP"};
  for (int i = 0; i <= 20; ++i) v6 << QString("IM6%1.BMP").arg(i, 5, 10, QChar('0'));
  if (tipo == T::VentraV4)
    for (const auto &e : src) {
      const QString u = e->Fn().toUpper();
      if (u.endsWith(".BMP") && !u.startsWith("IM08") && (v4.contains(u) || (!v5.contains(u) && !v6.contains(u))))
        out.push_back(e.get());
    }
  addUnlessV6(".FLX");
  for (const auto &e : src)
    if (e->Fn().toUpper() == "M000.MNU") {
      out.push_back(e.get());
      break;
    }
  QStringList kept;
  for (const auto *e : out) {
    const TClassFileCrcControlVtValue *rec = nullptr;
    for (const auto &r : vt)
      if (r->Fn() == e->Fn()) {
        rec = r.get();
        break;
      }
    if (!rec || rec->Sz() != e->Sz() || rec->Crc() != e->Crc()) kept << e->Fn();
  }
  return kept;
}

template <class Fn>
double medianMs(int runs, Fn fn) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    fn();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  TClassServicePackManager sp("/tmp/ventra-bench/", "/tmp/ventra-bench/vt/", "41", "300001");
  fill(sp);
  std::printf("service pack entries: %zu, scanner records: %zu\n", sp.CrcManager().Lista().size(),
              sp.CrcManagerVT().Lista().size());

  sp.PrepareListToUpdate(T::VentraV4, 2);
  QStringList indexed;
  for (const auto &e : sp.FilesToUpdate()) indexed << e->Fn();
  const QStringList linear = linearPrepare(sp, T::VentraV4, 2);
  if (indexed != linear) {
    std::fprintf(stderr, "the two versions disagree: %lld vs %lld entries\n", (long long)indexed.size(),
                 (long long)linear.size());
    return 1;
  }
  std::printf("prepared list (VentraV4, EN): %lld files\n", (long long)indexed.size());

  const double fast = medianMs(9, [&] { sp.PrepareListToUpdate(T::VentraV4, 2); });
  const double slow = medianMs(3, [&] { (void)linearPrepare(sp, T::VentraV4, 2); });
  std::printf("PrepareListToUpdate (indexed):  %9.2f ms\n", fast);
  std::printf("linear-search version:          %9.2f ms\n", slow);
  std::printf("ratio linear / indexed:         %9.1fx\n", slow / fast);
  return 0;
}
