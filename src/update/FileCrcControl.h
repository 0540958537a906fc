#pragma once
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Records of the CRC control files: "FileCrcControl.json" of a service pack or firmware folder,
// and the scanner's own "C" + serial + ".BIN". CRCs are kept as unsigned decimal text so that
// values above the signed 64-bit range survive a round trip unchanged.

class TClassFileCrcControlValue {
 public:
  TClassFileCrcControlValue() = default;
  TClassFileCrcControlValue(uint32_t sz, QString fn, QString crc) : FSz(sz), FFn(std::move(fn)), FCrc(std::move(crc)) {}
  virtual ~TClassFileCrcControlValue() = default;

  uint32_t Sz() const { return FSz; }
  const QString &Fn() const { return FFn; }
  const QString &Crc() const { return FCrc; }
  void SetSz(uint32_t v) { FSz = v; }
  void SetFn(const QString &v) { FFn = v; }
  void SetCrc(const QString &v) { FCrc = v; }

 protected:
  uint32_t FSz = 0;
  QString FFn;
  QString FCrc;
};

class TClassFileCrcControlVtValue : public TClassFileCrcControlValue {
 public:
  using TClassFileCrcControlValue::TClassFileCrcControlValue;

  uint32_t LastSz() const { return FLastSz; }
  const QString &LastCrc() const { return FLastCrc; }
  const QString &DT_Check() const { return FDT_Check; }
  const QString &DT_Write() const { return FDT_Write; }
  const QString &Erro() const { return FErro; }
  void SetLastSz(uint32_t v) { FLastSz = v; }
  void SetLastCrc(const QString &v) { FLastCrc = v; }
  void SetDT_Check(const QString &v) { FDT_Check = v; }
  void SetDT_Write(const QString &v) { FDT_Write = v; }
  void SetErro(const QString &v) { FErro = v; }

 private:
  uint32_t FLastSz = 0;
  QString FLastCrc;
  QString FDT_Check;
  QString FDT_Write;
  QString FErro;
};

// Current time in UTC as yyyy-mm-ddThh:nn:ss.zzzZ, the form of "dT_Check" and "dT_Write".
QString CrcControlTimeStamp();

namespace CrcControlDetail {
// Owned records with a by-name index that keeps the first record of each name; the index is
// rebuilt lazily after any change made through the mutable accessors (rename records through
// those, not through a pointer kept from a lookup).
template <class T>
class RecordList {
 public:
  const std::vector<std::unique_ptr<T>> &items() const { return items_; }
  std::vector<std::unique_ptr<T>> &mutableItems() {
    dirty_ = true;
    return items_;
  }
  T *add(std::unique_ptr<T> rec) {
    T *raw = rec.get();
    items_.push_back(std::move(rec));
    if (!dirty_ && !index_.contains(raw->Fn())) index_.insert(raw->Fn(), raw);
    return raw;
  }
  void clear() {
    items_.clear();
    index_.clear();
    dirty_ = false;
  }
  T *find(const QString &name) const {
    if (name.isEmpty()) return nullptr;
    if (dirty_) rebuild();
    T *hit = index_.value(name, nullptr);
    // a record renamed through its setter after indexing: fall back to a fresh index
    if (hit && hit->Fn() != name) {
      rebuild();
      hit = index_.value(name, nullptr);
    }
    return hit;
  }

 private:
  void rebuild() const {
    index_.clear();
    index_.reserve(qsizetype(items_.size()));
    for (const auto &r : items_)
      if (!index_.contains(r->Fn())) index_.insert(r->Fn(), r.get());
    dirty_ = false;
  }
  std::vector<std::unique_ptr<T>> items_;
  mutable QHash<QString, T *> index_;
  mutable bool dirty_ = false;
};
}  // namespace CrcControlDetail

// "FileCrcControl.json": what each file of a service pack (or firmware folder) must be.
class TClassFileCrcControlManager {
 public:
  TClassFileCrcControlManager(const QString &path, const QString &fileName);

  const QString &FileName() const { return FFileName; }
  const QString &Path() const { return FPath; }
  const std::vector<std::unique_ptr<TClassFileCrcControlValue>> &Lista() const { return FLista.items(); }
  std::vector<std::unique_ptr<TClassFileCrcControlValue>> &MutableLista() { return FLista.mutableItems(); }
  TClassFileCrcControlValue *Add(uint32_t sz, const QString &fn, const QString &crc);

  // First record named exactly fileName (case-sensitive); nullptr for none or an empty name.
  TClassFileCrcControlValue *GetInfoCrc(const QString &fileName) const { return FLista.find(fileName); }
  // Replaces the list by the file's records (empty when the file does not exist).
  // Throws VentraError "Falha ao ler json: " + file name + " - " + reason.
  bool LoadCrcFileContent();
  // Loads from a JSON text instead of the file (same errors, same status window).
  void LoadFromText(const QByteArray &text);
  // Writes the list to Path + FileName, creating the folder; throws VentraError when it cannot.
  void SaveToLocal() const;
  QByteArray ToJsonText() const;

 private:
  QString FFileName;
  QString FPath;
  CrcControlDetail::RecordList<TClassFileCrcControlValue> FLista;
};

// The scanner's file "C" + six-digit serial + ".BIN": what was written on the scanner and found there.
class TClassFileCrcControlManagerVT {
 public:
  // fileName is the prefix ("C"); the file is prefix + serial + ".BIN".
  TClassFileCrcControlManagerVT(const QString &path, const QString &fileName, const QString &serieReduzido);

  const QString &FileName() const { return FFileName; }
  const QString &Path() const { return FPath; }
  const QString &SerieReduzido() const { return FSerieReduzido; }
  QString ErrorFileName() const { return QStringLiteral("E_") + FFileName; }
  const std::vector<std::unique_ptr<TClassFileCrcControlVtValue>> &Lista() const { return FLista.items(); }
  std::vector<std::unique_ptr<TClassFileCrcControlVtValue>> &MutableLista() { return FLista.mutableItems(); }
  TClassFileCrcControlVtValue *Add(uint32_t sz, const QString &fn, const QString &crc);

  TClassFileCrcControlVtValue *GetInfoCrc(const QString &fileName) const { return FLista.find(fileName); }
  bool LoadCrcFileContent();
  void LoadFromText(const QByteArray &text);
  void SaveToLocal() const;
  QByteArray ToJsonText() const;

  void Clear() { FLista.clear(); }
  bool ExistemErros() const;
  // Writes Path + "E_" + FileName with a copy of every record whose "erro" is not empty.
  void SaveErrorsToLocal() const;

 private:
  QString FFileName;
  QString FPath;
  QString FSerieReduzido;
  CrcControlDetail::RecordList<TClassFileCrcControlVtValue> FLista;
};
