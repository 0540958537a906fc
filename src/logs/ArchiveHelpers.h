#pragma once
#include <QString>

// Folder and archive helpers shared by the log workflow, the service-pack store and the
// self-update. They raise VentraError with the texts callers record.

// Empties a folder: when it has sub-folders they are deleted with their contents and the folder's
// own files stay; otherwise every file directly in it is deleted. Symbolic links are removed, never
// followed.
void ApagarArquivosPasta(const QString &pasta);
// Size of pasta + fileName; raises "Arquivo não encontrado: " + fileName when missing.
qint64 TamanhoArquivoPasta(const QString &pasta, const QString &fileName);
// Size of the file; raises "Arquivo não encontrado: " + fileName when missing.
qint64 TamanhoArquivo(const QString &fileName);
// Packs the regular files directly in pasta (not the archive itself) into pasta + nomeArquivo,
// deflate-compressed, replacing an existing archive. Empty arguments do nothing.
void CompactarPasta(const QString &pasta, const QString &nomeArquivo);
