#pragma once
#include <QString>
#include <map>
#include <memory>

// One advertising picture of the carousel.
struct TClass_CarrosselImg {
  QString FFileNameHost;  // address of the picture on the server
  QString FFileName;      // local path
  int FTempo = 0;         // display time, ms
  QString FUrl;           // link opened on a click
  int FID = 0;            // 1-based index
};

// The advertising list "mkt.json" for the connected model and its pictures.
class TClass_Carrossel {
 public:
  static TClass_Carrossel &GetInstance();
  // Clears the list and deletes the local "mkt.json"; used at program end and by tests.
  static void FreeInstance();
  ~TClass_Carrossel();

  // Reads base folder + "img/mkt.json" and keeps the items of the group for this equipment type
  // (1 below type 4, else 2); downloads the first picture. Never throws.
  void CarregaListaImg(int tipoEquipamento);
  // Fetches the picture of an entry when its local file is missing; false when it is not there afterwards.
  bool DownloadImagem(int index);
  // Deletes every entry's local picture and empties the list.
  void LimpaLista();

  const std::map<int, TClass_CarrosselImg> &ListaImgs() const { return FListaImgs; }
  int CodEquip() const { return FCodEquip; }
  const QString &FileName() const { return FFileName; }

  // Folders; default to the base folder's "img/" and the download server's "mkt/".
  static QString PastaLocal();
  static QString PastaServidor();

 private:
  TClass_Carrossel() = default;
  std::map<int, TClass_CarrosselImg> FListaImgs;
  int FCodEquip = -1;
  QString FFileName;
};

// HTTP GET of url into path (an existing file is deleted first); 60 s connect and read time-outs.
// True when the transfer completed with a 2xx answer; a failed transfer leaves no file.
bool BaixaArquivoHttp(const QString &url, const QString &path, long timeoutMs = 60000);
