#pragma once
#include <QString>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

// One key of a category; FValor holds the value with every backslash doubled.
class TClass_Chave {
 public:
  TClass_Chave(QString identificador, QString valor)
      : FIdentificador(std::move(identificador)), FValor(std::move(valor)) {}
  QString FIdentificador;
  QString FValor;
};

// Ordered, owning list of keys.
class TListaChaves {
 public:
  bool ContainsIdentificador(const QString &identificador) const;
  bool TryGetValue(const QString &identificador, TClass_Chave *&chave) const;
  TClass_Chave &Add(QString identificador, QString valor);
  int Count() const { return int(FItems.size()); }
  TClass_Chave &operator[](int i) const { return *FItems[size_t(i)]; }

 private:
  std::vector<std::unique_ptr<TClass_Chave>> FItems;
};

class TClass_Categoria {
 public:
  explicit TClass_Categoria(QString identificador) : FIdentificador(std::move(identificador)) {}
  QString FIdentificador;
  TListaChaves FChaves;
};

// Ordered categories of upper-cased keys with string values, stored as a JSON file.
class TClass_JsonIni {
 public:
  void AddString(const QString &categoria, const QString &chave, const QString &valor);
  void AddInteger(const QString &categoria, const QString &chave, qint32 valor);
  void AddUInt64(const QString &categoria, const QString &chave, quint64 valor);
  void AddBoolean(const QString &categoria, const QString &chave, bool valor);

  QString ReadString(const QString &categoria, const QString &chave, const QString &defaultValue) const;
  // Raises VentraError when the stored text is not an integer.
  qint32 ReadInteger(const QString &categoria, const QString &chave, qint32 defaultValue) const;
  quint64 ReadUInt64(const QString &categoria, const QString &chave, quint64 defaultValue) const;
  bool ReadBoolean(const QString &categoria, const QString &chave, bool defaultValue) const;

  bool ContainsIdentificador(const QString &identificador) const;
  bool TryGetValue(const QString &identificador, TClass_Categoria *&categoria) const;
  int Count() const { return int(FItems.size()); }
  TClass_Categoria &operator[](int i) const { return *FItems[size_t(i)]; }

  // The store's JSON layout: {"ownsObjects":true,"listHelper":[{"identificador":..,"chaves":{..}}]}.
  nlohmann::ordered_json ToJson() const;
  // nullptr when the JSON does not have the store's layout.
  static std::unique_ptr<TClass_JsonIni> FromJson(const nlohmann::ordered_json &json);

  // A new store read from the file; nullptr when the file is missing or holds no store.
  // Read errors are raised.
  static std::unique_ptr<TClass_JsonIni> LoadJsonIniFromFile(const QString &fileName);
  static void SaveJsonIniToFile(const TClass_JsonIni &store, const QString &fileName);

 private:
  std::vector<std::unique_ptr<TClass_Categoria>> FItems;
};
