#include "app/JsonIni.h"

#include <QFileInfo>

#include "app/JsonLib.h"
#include "app/VentraError.h"

using ojson = nlohmann::ordered_json;

namespace {
QString fromJsonString(const ojson &j) { return QString::fromStdString(j.get<std::string>()); }
}  // namespace

bool TListaChaves::ContainsIdentificador(const QString &identificador) const {
  TClass_Chave *unused = nullptr;
  return TryGetValue(identificador, unused);
}

bool TListaChaves::TryGetValue(const QString &identificador, TClass_Chave *&chave) const {
  for (const auto &item : FItems) {
    if (item->FIdentificador == identificador) {
      chave = item.get();
      return true;
    }
  }
  chave = nullptr;
  return false;
}

TClass_Chave &TListaChaves::Add(QString identificador, QString valor) {
  FItems.push_back(std::make_unique<TClass_Chave>(std::move(identificador), std::move(valor)));
  return *FItems.back();
}

bool TClass_JsonIni::ContainsIdentificador(const QString &identificador) const {
  TClass_Categoria *unused = nullptr;
  return TryGetValue(identificador, unused);
}

bool TClass_JsonIni::TryGetValue(const QString &identificador, TClass_Categoria *&categoria) const {
  for (const auto &item : FItems) {
    if (item->FIdentificador == identificador) {
      categoria = item.get();
      return true;
    }
  }
  categoria = nullptr;
  return false;
}

void TClass_JsonIni::AddString(const QString &categoria, const QString &chave, const QString &valor) {
  const QString cat = categoria.toUpper();
  const QString key = chave.toUpper();
  QString stored = valor;
  stored.replace(QLatin1String("\\"), QLatin1String("\\\\"));
  if (cat.isEmpty() || key.isEmpty()) return;
  TClass_Categoria *c = nullptr;
  if (!TryGetValue(cat, c)) {
    FItems.push_back(std::make_unique<TClass_Categoria>(cat));
    c = FItems.back().get();
  }
  TClass_Chave *k = nullptr;
  if (c->FChaves.TryGetValue(key, k))
    k->FValor = stored;
  else
    c->FChaves.Add(key, stored);
}

void TClass_JsonIni::AddInteger(const QString &categoria, const QString &chave, qint32 valor) {
  AddString(categoria, chave, QString::number(valor));
}

void TClass_JsonIni::AddUInt64(const QString &categoria, const QString &chave, quint64 valor) {
  AddString(categoria, chave, QString::number(valor));
}

void TClass_JsonIni::AddBoolean(const QString &categoria, const QString &chave, bool valor) {
  AddString(categoria, chave, valor ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

QString TClass_JsonIni::ReadString(const QString &categoria, const QString &chave, const QString &defaultValue) const {
  const QString cat = categoria.toUpper();
  const QString key = chave.toUpper();
  if (cat.isEmpty() || key.isEmpty()) return defaultValue;
  TClass_Categoria *c = nullptr;
  TClass_Chave *k = nullptr;
  if (!TryGetValue(cat, c) || !c->FChaves.TryGetValue(key, k)) return defaultValue;
  QString v = k->FValor;
  v.replace(QLatin1String("\\\\"), QLatin1String("\\"));
  return v;
}

qint32 TClass_JsonIni::ReadInteger(const QString &categoria, const QString &chave, qint32 defaultValue) const {
  const QString text = ReadString(categoria, chave, QString());
  if (text.isEmpty()) return defaultValue;
  bool ok = false;
  const qint32 v = text.trimmed().toInt(&ok, 10);
  if (!ok) throw VentraError(QStringLiteral("'%1' is not a valid integer value").arg(text));
  return v;
}

quint64 TClass_JsonIni::ReadUInt64(const QString &categoria, const QString &chave, quint64 defaultValue) const {
  const QString text = ReadString(categoria, chave, QString());
  if (text.isEmpty()) return defaultValue;
  bool ok = false;
  const quint64 v = text.trimmed().toULongLong(&ok, 10);
  return ok ? v : defaultValue;
}

bool TClass_JsonIni::ReadBoolean(const QString &categoria, const QString &chave, bool defaultValue) const {
  const QString text = ReadString(categoria, chave, QString());
  if (text.isEmpty()) return defaultValue;
  return text == QLatin1String("TRUE");
}

ojson TClass_JsonIni::ToJson() const {
  ojson cats = ojson::array();
  for (const auto &c : FItems) {
    ojson keys = ojson::array();
    for (int i = 0; i < c->FChaves.Count(); ++i) {
      const TClass_Chave &k = c->FChaves[i];
      ojson entry = ojson::object();
      entry["identificador"] = k.FIdentificador.toStdString();
      entry["valor"] = k.FValor.toStdString();
      keys.push_back(std::move(entry));
    }
    ojson chaves = ojson::object();
    chaves["ownsObjects"] = true;
    chaves["listHelper"] = std::move(keys);
    ojson entry = ojson::object();
    entry["identificador"] = c->FIdentificador.toStdString();
    entry["chaves"] = std::move(chaves);
    cats.push_back(std::move(entry));
  }
  ojson root = ojson::object();
  root["ownsObjects"] = true;
  root["listHelper"] = std::move(cats);
  return root;
}

std::unique_ptr<TClass_JsonIni> TClass_JsonIni::FromJson(const ojson &json) {
  // null entries are tolerated: list storage written untrimmed carries them
  auto listOf = [](const ojson &j) -> const ojson * {
    if (!j.is_object()) return nullptr;
    const auto it = j.find("listHelper");
    if (it == j.end() || !it->is_array()) return nullptr;
    return &*it;
  };
  const ojson *cats = listOf(json);
  if (!cats) return nullptr;
  auto store = std::make_unique<TClass_JsonIni>();
  for (const ojson &c : *cats) {
    if (c.is_null()) continue;
    if (!c.is_object() || !c.contains("identificador") || !c["identificador"].is_string() || !c.contains("chaves"))
      return nullptr;
    const ojson *keys = listOf(c["chaves"]);
    if (!keys) return nullptr;
    auto cat = std::make_unique<TClass_Categoria>(fromJsonString(c["identificador"]));
    for (const ojson &k : *keys) {
      if (k.is_null()) continue;
      if (!k.is_object() || !k.contains("identificador") || !k["identificador"].is_string() || !k.contains("valor") ||
          !k["valor"].is_string())
        return nullptr;
      cat->FChaves.Add(fromJsonString(k["identificador"]), fromJsonString(k["valor"]));
    }
    store->FItems.push_back(std::move(cat));
  }
  return store;
}

std::unique_ptr<TClass_JsonIni> TClass_JsonIni::LoadJsonIniFromFile(const QString &fileName) {
  if (!QFileInfo::exists(fileName)) return nullptr;
  const std::optional<ojson> j = TJsonLib::LoadFileToJsonValue(fileName);
  if (!j) return nullptr;
  return FromJson(*j);
}

void TClass_JsonIni::SaveJsonIniToFile(const TClass_JsonIni &store, const QString &fileName) {
  TJsonLib::SaveJsonToFile(store.ToJson(), fileName);
}
