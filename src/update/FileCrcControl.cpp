#include "update/FileCrcControl.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "app/ShellUi.h"
#include "app/VentraError.h"

using nlohmann::json;
using nlohmann::ordered_json;

QString CrcControlTimeStamp() {
  return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

namespace {

// Closes the status window however the load ends.
struct StatusScope {
  explicit StatusScope(const QString &text) { ShellUi::get().StatusShowMsg(text); }
  ~StatusScope() { ShellUi::get().StatusClose(); }
};

const json *member(const json &obj, const char *name) {
  auto it = obj.find(name);
  if (it == obj.end() || it->is_null()) return nullptr;
  return &*it;
}

uint32_t readSize(const json &obj, const char *name) {
  const json *v = member(obj, name);
  if (!v) return 0;
  if (v->is_number_unsigned() && v->get<uint64_t>() <= std::numeric_limits<uint32_t>::max())
    return uint32_t(v->get<uint64_t>());
  if (v->is_number_integer() && v->get<int64_t>() >= 0 && v->get<int64_t>() <= std::numeric_limits<uint32_t>::max())
    return uint32_t(v->get<int64_t>());
  throw std::runtime_error(std::string("member \"") + name + "\" is not a 32-bit unsigned size");
}

QString readText(const json &obj, const char *name) {
  const json *v = member(obj, name);
  if (!v) return {};
  if (v->is_string()) return QString::fromStdString(v->get<std::string>());
  throw std::runtime_error(std::string("member \"") + name + "\" is not a string");
}

// A CRC written as a JSON number by some other tool is still accepted, as its exact decimal text.
QString readCrc(const json &obj, const char *name) {
  const json *v = member(obj, name);
  if (v && v->is_number_unsigned()) return QString::number(v->get<uint64_t>());
  return readText(obj, name);
}

json parseArray(const QByteArray &text) {
  QByteArray body = text;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  json doc = json::parse(body.constBegin(), body.constEnd());
  if (!doc.is_array()) throw std::runtime_error("the top value is not a JSON array");
  for (const auto &el : doc)
    if (!el.is_object()) throw std::runtime_error("an element of the array is not an object");
  return doc;
}

QByteArray readWhole(const QString &file, bool &exists) {
  QFile f(file);
  exists = f.exists();
  if (!exists) return {};
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error(f.errorString().toStdString());
  return f.readAll();
}

[[noreturn]] void raiseRead(const QString &fileName, const QString &why) {
  throw VentraError(QStringLiteral("Falha ao ler json: ") + fileName + QStringLiteral(" - ") + why);
}

// Runs fn and turns every failure into the "Falha ao ler json" error of that file.
template <class Fn>
void guardedRead(const QString &fileName, Fn fn) {
  try {
    fn();
  } catch (const VentraError &e) {
    raiseRead(fileName, e.text());
  } catch (const std::exception &e) {
    raiseRead(fileName, QString::fromUtf8(e.what()));
  }
}

void writeFile(const QString &path, const QString &fileName, const QByteArray &text) {
  if (!QDir().mkpath(path)) throw VentraError(QStringLiteral("Não conseguiu criar diretorio: ") + path);
  // written beside and renamed over the old file, so a failed write never leaves half a list
  QSaveFile f(path + fileName);
  if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
    throw VentraError(QStringLiteral("Falha ao gravar arquivo: ") + path + fileName + QStringLiteral(" - ") +
                      f.errorString());
}

ordered_json baseObject(const TClassFileCrcControlValue &v) {
  ordered_json o;
  o["sz"] = v.Sz();
  o["fn"] = v.Fn().toStdString();
  o["crc"] = v.Crc().toStdString();
  return o;
}

ordered_json vtObject(const TClassFileCrcControlVtValue &v) {
  ordered_json o = baseObject(v);
  o["lastSz"] = v.LastSz();
  o["lastCrc"] = v.LastCrc().toStdString();
  o["dT_Check"] = v.DT_Check().toStdString();
  o["dT_Write"] = v.DT_Write().toStdString();
  o["erro"] = v.Erro().toStdString();
  return o;
}

QByteArray dumpArray(const ordered_json &arr) { return QByteArray::fromStdString(arr.dump()); }

}  // namespace

// ---- service pack / firmware folder file

TClassFileCrcControlManager::TClassFileCrcControlManager(const QString &path, const QString &fileName)
    : FFileName(fileName), FPath(path) {}

TClassFileCrcControlValue *TClassFileCrcControlManager::Add(uint32_t sz, const QString &fn, const QString &crc) {
  return FLista.add(std::make_unique<TClassFileCrcControlValue>(sz, fn, crc));
}

void TClassFileCrcControlManager::LoadFromText(const QByteArray &text) {
  StatusScope status(QStringLiteral("Carregando arquivo de CRC..."));
  CrcControlDetail::RecordList<TClassFileCrcControlValue> fresh;
  guardedRead(FFileName, [&] {
    for (const auto &el : parseArray(text))
      fresh.add(
          std::make_unique<TClassFileCrcControlValue>(readSize(el, "sz"), readText(el, "fn"), readCrc(el, "crc")));
  });
  FLista = std::move(fresh);
}

bool TClassFileCrcControlManager::LoadCrcFileContent() {
  bool exists = false;
  QByteArray text;
  guardedRead(FFileName, [&] { text = readWhole(FPath + FFileName, exists); });
  if (!exists) {
    StatusScope status(QStringLiteral("Carregando arquivo de CRC..."));
    FLista.clear();
    return true;
  }
  LoadFromText(text);
  return true;
}

QByteArray TClassFileCrcControlManager::ToJsonText() const {
  ordered_json arr = ordered_json::array();
  for (const auto &r : FLista.items()) arr.push_back(baseObject(*r));
  return dumpArray(arr);
}

void TClassFileCrcControlManager::SaveToLocal() const { writeFile(FPath, FFileName, ToJsonText()); }

// ---- the scanner's file

TClassFileCrcControlManagerVT::TClassFileCrcControlManagerVT(const QString &path, const QString &fileName,
                                                             const QString &serieReduzido)
    : FFileName(fileName + serieReduzido + QStringLiteral(".BIN")), FPath(path), FSerieReduzido(serieReduzido) {}

TClassFileCrcControlVtValue *TClassFileCrcControlManagerVT::Add(uint32_t sz, const QString &fn, const QString &crc) {
  return FLista.add(std::make_unique<TClassFileCrcControlVtValue>(sz, fn, crc));
}

void TClassFileCrcControlManagerVT::LoadFromText(const QByteArray &text) {
  StatusScope status(QStringLiteral("Carregando arquivo de CRC..."));
  CrcControlDetail::RecordList<TClassFileCrcControlVtValue> fresh;
  guardedRead(FFileName, [&] {
    for (const auto &el : parseArray(text)) {
      auto rec =
          std::make_unique<TClassFileCrcControlVtValue>(readSize(el, "sz"), readText(el, "fn"), readCrc(el, "crc"));
      rec->SetLastSz(readSize(el, "lastSz"));
      rec->SetLastCrc(readCrc(el, "lastCrc"));
      rec->SetDT_Check(readText(el, "dT_Check"));
      rec->SetDT_Write(readText(el, "dT_Write"));
      rec->SetErro(readText(el, "erro"));
      fresh.add(std::move(rec));
    }
  });
  FLista = std::move(fresh);
}

bool TClassFileCrcControlManagerVT::LoadCrcFileContent() {
  bool exists = false;
  QByteArray text;
  guardedRead(FFileName, [&] { text = readWhole(FPath + FFileName, exists); });
  if (!exists) {
    StatusScope status(QStringLiteral("Carregando arquivo de CRC..."));
    FLista.clear();
    return true;
  }
  LoadFromText(text);
  return true;
}

QByteArray TClassFileCrcControlManagerVT::ToJsonText() const {
  ordered_json arr = ordered_json::array();
  for (const auto &r : FLista.items()) arr.push_back(vtObject(*r));
  return dumpArray(arr);
}

void TClassFileCrcControlManagerVT::SaveToLocal() const { writeFile(FPath, FFileName, ToJsonText()); }

bool TClassFileCrcControlManagerVT::ExistemErros() const {
  for (const auto &r : FLista.items())
    if (!r->Erro().isEmpty()) return true;
  return false;
}

void TClassFileCrcControlManagerVT::SaveErrorsToLocal() const {
  if (!QDir().mkpath(FPath)) throw VentraError(QStringLiteral("Não conseguiu criar diretorio: ") + FPath);
  const QString errorFile = FPath + ErrorFileName();
  if (QFileInfo::exists(errorFile)) QFile::remove(errorFile);
  ordered_json arr = ordered_json::array();
  for (const auto &r : FLista.items())
    if (!r->Erro().isEmpty()) arr.push_back(vtObject(*r));
  writeFile(FPath, ErrorFileName(), dumpArray(arr));
}
