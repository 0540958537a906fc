// ventra-demo-data: builds the download server's files folder for tests and the demo: a service
// pack ("sp/sp<N>/": "FileCrcControl.json" + one zip per file stem) and the firmware folders
// ("fw/oficial/", "fw/homolog/": "info_fw.json", "FileCrcControl.json", the images). The content
// is generated from a seed, so the same options always give the same bytes.
#include <zip.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "protocol/Crc64.h"
#include "update/FileCrcControl.h"
#include "update/MnuManager.h"
#include "update/VersionManager.h"

namespace {

struct Options {
  QString out;
  QString content;  // optional: the plain service-pack files as well
  int servicePack = 41;
  uint32_t seed = 20240305;
  int imageSize = 4096;
  QString fwVersion;  // overrides every family's firmware version
};

void usage(std::FILE *to) {
  std::fputs(
      "usage: ventra-demo-data --out FILES_DIR [--sp N] [--seed N] [--content DIR]\n"
      "                        [--image-size BYTES] [--fw-version TEXT]\n"
      "  writes FILES_DIR/sp/sp<N>/  FileCrcControl.json and <stem>.zip per file (default N 41)\n"
      "         FILES_DIR/fw/oficial/ and fw/homolog/  info_fw.json, FileCrcControl.json, images\n"
      "  --content DIR      also writes the service pack's plain files into DIR\n"
      "  --image-size BYTES size of each firmware image (default 4096)\n"
      "  --fw-version TEXT  firmware version of every family in fw/oficial (homolog gets TEXT+1)\n"
      "  serve FILES_DIR with: ventra-maker-server --root FILES_DIR\n",
      to);
}

// xorshift32: small, fast and the same everywhere
struct Rng {
  uint32_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
};

uint32_t nameSeed(uint32_t seed, const QString &name) {
  uint32_t h = seed ^ 2166136261u;
  for (QChar c : name) h = (h ^ c.unicode()) * 16777619u;
  return h ? h : 1;
}

// Plausible bytes for a content file: a small header naming the file, then seeded data.
QByteArray contentOf(const QString &name, uint32_t seed, int size) {
  Rng rng{nameSeed(seed, name)};
  QByteArray data = "VENTRA " + name.toLatin1() + " ";
  while (data.size() < size) data.append(char(rng.next() & 0xFF));
  data.truncate(size);
  return data;
}

QStringList servicePackNames() {
  QStringList names;
  names << "AJUDA.V6"
        << "OBD.V6";
  for (const char *lang : {"PT", "ES", "EN"})
    for (const char *base : {"TEXTOS", "TECLADO", "AJUDA"}) names << QString("%1_%2.BIN").arg(base, lang);
  for (int d = 0; d < 3; ++d) names << QString("DIAG_%1.SMK").arg(d) << QString("OBD_%1.SMK").arg(d);
  // every menu either family needs in any of the three languages, then menus no list requires
  QSet<QString> seen;
  for (auto family : {TScannerFamily::tfV3_V4, TScannerFamily::tfV5_V6})
    for (auto lang : {TMnuLanguage::mnuPT, TMnuLanguage::mnuES, TMnuLanguage::mnuEN}) {
      TClassMnuManager m;
      m.SetScannerFamily(family);
      m.SetLanguage(lang);
      m.PrepareList();
      for (const auto &f : m.Files())
        if (!seen.contains(f->FileName())) {
          seen.insert(f->FileName());
          names << f->FileName();
        }
    }
  names << "M9270.MNU"
        << "M9280.MNU"
        << "M590.MNU";
  for (const char *img :
       {"IM000400", "IM001060", "IM002022", "IM016020", "IM025001", "IM025002", "IM026020", "IM029000", "IM035001",
        "IM035002", "IM039000", "IM040000", "IM090007", "IM090008", "IM090013", "IM090016", "IM090017", "IM090018",
        "IM090024", "IM090025", "IM090026", "IM090027", "IM090031", "IM090032", "START",    "STARTV5",  "STARTV5X"})
    names << QString(img) + ".BMP";
  for (int i = 0; i <= 20; ++i) names << QString("IM6%1.BMP").arg(i, 5, 10, QChar('0'));
  names << "STARTV6.BMP"
        << "STARTV6S.BMP"
        << "IM050000.BMP"
        << "IM050001.BMP"
        << "IM080001.BMP";
  names << "FLASH.FLX"
        << "ECU01.FLX"
        << "OBD.FLX";
  names << "M000.MNU";
  return names;
}

int sizeFor(const QString &name, uint32_t seed) {
  Rng rng{nameSeed(seed ^ 0x5A5A5A5Au, name)};
  if (name.endsWith(".BMP")) return 1200 + int(rng.next() % 2800);
  if (name.endsWith(".MNU")) return 300 + int(rng.next() % 1700);
  return 500 + int(rng.next() % 3500);
}

struct ZipCloser {
  void operator()(zip_t *z) const {
    if (z) zip_discard(z);
  }
};

// Writes one archive holding the given files; fixed time stamps keep it byte-for-byte reproducible.
bool writeZip(const QString &path, const QMap<QString, QByteArray> &files, QString &error) {
  QFile::remove(path);
  int err = 0;
  std::unique_ptr<zip_t, ZipCloser> z(zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err));
  if (!z) {
    error = "cannot create " + path;
    return false;
  }
  for (auto it = files.begin(); it != files.end(); ++it) {
    zip_source_t *src = zip_source_buffer(z.get(), it.value().constData(), zip_uint64_t(it.value().size()), 0);
    const QByteArray entry = it.key().toUtf8();
    const zip_int64_t idx = src ? zip_file_add(z.get(), entry.constData(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (idx < 0) {
      if (src) zip_source_free(src);
      error = "cannot add " + it.key() + " to " + path;
      return false;
    }
    zip_set_file_compression(z.get(), zip_uint64_t(idx), ZIP_CM_DEFLATE, 9);
    zip_file_set_mtime(z.get(), zip_uint64_t(idx), 1704067200, 0);  // 2024-01-01
  }
  if (zip_close(z.get()) != 0) {
    error = "cannot write " + path + ": " + QString::fromUtf8(zip_strerror(z.get()));
    return false;
  }
  z.release();
  return true;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool freshFolder(const QString &path) {
  QDir dir(path);
  if (dir.exists() && !dir.removeRecursively()) return false;
  return QDir().mkpath(path);
}

int buildServicePack(const Options &o) {
  const QString folder = o.out + QString("/sp/sp%1/").arg(o.servicePack);
  if (!freshFolder(folder)) {
    std::fprintf(stderr, "cannot prepare %s\n", qPrintable(folder));
    return 1;
  }
  if (!o.content.isEmpty() && !QDir().mkpath(o.content)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(o.content));
    return 1;
  }
  TClassFileCrcControlManager list(folder, "FileCrcControl.json");
  QMap<QString, QMap<QString, QByteArray>> archives;  // archive name -> files it holds
  for (const QString &name : servicePackNames()) {
    const QByteArray data = contentOf(name, o.seed, sizeFor(name, o.seed));
    list.Add(uint32_t(data.size()), name, QString::number(CalcCRC64Bytes(data)));
    const qsizetype dot = name.indexOf('.');
    archives[(dot < 0 ? name : name.left(dot)) + ".zip"].insert(name, data);
    if (!o.content.isEmpty() && !writeFile(o.content + "/" + name, data)) {
      std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(o.content), qPrintable(name));
      return 1;
    }
  }
  for (auto it = archives.begin(); it != archives.end(); ++it) {
    QString error;
    if (!writeZip(folder + it.key(), it.value(), error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      return 1;
    }
  }
  list.SaveToLocal();
  std::printf("service pack %d: %zu files in %lld archives -> %s\n", o.servicePack, list.Lista().size(),
              (long long)archives.size(), qPrintable(folder));
  return 0;
}

TVersionInfo versionRecord(const Options &o, int bump) {
  auto v = [&](int base) { return QString::number(base + bump); };
  auto fw = [&](int base) { return o.fwVersion.isEmpty() ? v(base) : QString::number(o.fwVersion.toInt() + bump); };
  TVersionInfo info;
  info.SetServicePack(o.servicePack);
  info.Setfw_checkline(v(2));
  info.Setfw_v2(v(210));
  info.Setfw_v3(fw(330));
  info.Setfw_v4(fw(450));
  info.Setfw_v5(fw(519));
  info.Setfw_v6(fw(612));
  info.Setfw_v6s(fw(615));
  info.Setfw_sniffer(v(105));
  info.Setmlo_v3(v(12));
  info.Setmlo_v4(v(14));
  info.Setmlo_v5(v(21));
  info.Setmlo_v6(v(30));
  info.Setmlo_v6s(v(31));
  return info;
}

int buildFirmware(const Options &o, const QString &kind, int bump) {
  const QString folder = o.out + "/fw/" + kind + "/";
  if (!freshFolder(folder)) {
    std::fprintf(stderr, "cannot prepare %s\n", qPrintable(folder));
    return 1;
  }
  const TVersionInfo info = versionRecord(o, bump);
  TClassFileCrcControlManager list(folder, "FileCrcControl.json");
  for (int code = 2; code <= 15; ++code) {
    for (const TFirmwareImage &img : FirmwareImagesFor(info, TType_Equipamento(code))) {
      if (list.GetInfoCrc(img.localName)) continue;
      const QByteArray data = contentOf(img.localName, o.seed, o.imageSize);
      if (!writeFile(folder + img.localName, data)) {
        std::fprintf(stderr, "cannot write %s%s\n", qPrintable(folder), qPrintable(img.localName));
        return 1;
      }
      list.Add(uint32_t(data.size()), img.localName, QString::number(CalcCRC64Bytes(data)));
    }
  }
  list.SaveToLocal();
  if (!writeFile(folder + "info_fw.json", info.ToJsonText())) return 1;
  std::printf("firmware %s: %zu images -> %s\n", qPrintable(kind), list.Lista().size(), qPrintable(folder));
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  Options o;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    auto next = [&]() -> QString {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "%s needs a value\n", qPrintable(a));
        std::exit(2);
      }
      return args[++i];
    };
    bool ok = true;
    if (a == "--out")
      o.out = next();
    else if (a == "--content")
      o.content = next();
    else if (a == "--sp")
      o.servicePack = next().toInt(&ok);
    else if (a == "--seed")
      o.seed = next().toUInt(&ok);
    else if (a == "--image-size")
      o.imageSize = next().toInt(&ok);
    else if (a == "--fw-version")
      o.fwVersion = next();
    else if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "unknown option %s\n", qPrintable(a));
      usage(stderr);
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "bad number for %s\n", qPrintable(a));
      return 2;
    }
  }
  if (o.out.isEmpty() || o.servicePack < 0 || o.imageSize < 16 || o.seed == 0) {
    usage(stderr);
    return 2;
  }
  if (int rc = buildServicePack(o)) return rc;
  if (int rc = buildFirmware(o, "oficial", 0)) return rc;
  return buildFirmware(o, "homolog", 1);
}
