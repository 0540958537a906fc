#include "app/Carrossel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <curl/curl.h>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/BuildConfig.h"

namespace {
std::unique_ptr<TClass_Carrossel> &instanceSlot() {
  static std::unique_ptr<TClass_Carrossel> inst;
  return inst;
}

struct CurlDeleter {
  void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct FileCloser {
  void operator()(FILE *f) const { std::fclose(f); }
};

size_t writeToFile(char *data, size_t size, size_t n, void *user) {
  return std::fwrite(data, size, n, static_cast<FILE *>(user)) * size;
}
}  // namespace

bool BaixaArquivoHttp(const QString &url, const QString &path, long timeoutMs) {
  if (QFile::exists(path)) QFile::remove(path);
  QDir().mkpath(QFileInfo(path).absolutePath());
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  long code = 0;
  CURLcode rc;
  {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!f) return false;
    const QByteArray u = url.toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, u.constData());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, f.get());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    // read time-out: give up when the transfer stalls for that long
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, std::max(1L, timeoutMs / 1000));
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    rc = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &code);
  }
  if (rc != CURLE_OK || code < 200 || code >= 300) {
    QFile::remove(path);  // a half or error body is not the picture
    return false;
  }
  return true;
}

TClass_Carrossel &TClass_Carrossel::GetInstance() {
  auto &slot = instanceSlot();
  if (!slot) slot.reset(new TClass_Carrossel());
  return *slot;
}

void TClass_Carrossel::FreeInstance() { instanceSlot().reset(); }

TClass_Carrossel::~TClass_Carrossel() {
  LimpaLista();
  if (!FFileName.isEmpty() && QFile::exists(FFileName)) QFile::remove(FFileName);
}

QString TClass_Carrossel::PastaLocal() { return BuildConfig::baseFolder() + QStringLiteral("img/"); }

QString TClass_Carrossel::PastaServidor() { return BuildConfig::value("DOWNLOAD_URL") + QStringLiteral("mkt/"); }

void TClass_Carrossel::CarregaListaImg(int tipoEquipamento) {
  FFileName = PastaLocal() + QStringLiteral("mkt.json");
  FCodEquip = tipoEquipamento;
  if (!QFile::exists(FFileName)) return;
  try {
    QFile f(FFileName);
    if (!f.open(QIODevice::ReadOnly)) return;
    const QByteArray text = f.readAll();
    const auto doc = nlohmann::json::parse(text.constData(), text.constData() + text.size(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) return;
    const auto groups = doc.find("groups");
    if (groups == doc.end() || !groups->is_array()) return;
    LimpaLista();
    const int grupo = tipoEquipamento < 4 ? 1 : 2;
    int index = 0;
    for (const auto &g : *groups) {
      if (!g.is_object() || !g.contains("iD") || !g["iD"].is_number() || g["iD"].get<int>() != grupo) continue;
      const auto items = g.find("items");
      if (items == g.end() || !items->is_array()) continue;
      for (const auto &it : *items) {
        if (!it.is_object()) continue;
        const auto img = it.find("img");
        if (img == it.end() || !img->is_string() || img->get<std::string>().empty()) continue;
        const QString nome = QString::fromStdString(img->get<std::string>());
        // a picture name never leaves the img folder
        if (nome.contains('/') || nome.contains('\\') || nome == ".." || nome == ".") continue;
        TClass_CarrosselImg e;
        e.FID = ++index;
        e.FFileName = PastaLocal() + nome;
        e.FFileNameHost = PastaServidor() + nome;
        if (auto t = it.find("time"); t != it.end() && t->is_number()) e.FTempo = t->get<int>();
        if (auto u = it.find("url"); u != it.end() && u->is_string()) e.FUrl = QString::fromStdString(u->get<std::string>());
        FListaImgs.emplace(e.FID, e);
      }
    }
    if (FListaImgs.count(1)) DownloadImagem(1);
  } catch (...) {
    // a broken list leaves the carousel empty
  }
}

bool TClass_Carrossel::DownloadImagem(int index) {
  const auto it = FListaImgs.find(index);
  if (it == FListaImgs.end()) return false;
  if (QFile::exists(it->second.FFileName)) return true;
  return BaixaArquivoHttp(it->second.FFileNameHost, it->second.FFileName);
}

void TClass_Carrossel::LimpaLista() {
  for (const auto &[id, e] : FListaImgs)
    if (QFile::exists(e.FFileName)) QFile::remove(e.FFileName);
  FListaImgs.clear();
}
