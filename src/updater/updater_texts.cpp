#include "updater/updater_texts.h"

namespace updater_texts {

LocalizedText Connecting() {
  return {"Conectando-se ao servidor de atualizações...", "Conexión al servidor de actualización...",
          "Connecting to the update server..."};
}

LocalizedText Listing() {
  return {"Listando arquivos desatualizados...", "Listado de archivos obsoletos...", "Listing outdated files..."};
}

LocalizedText Checking() {
  return {"Verificando arquivos desatualizados...", "Comprobando archivos obsoletos...",
          "Checking outdated files..."};
}

LocalizedText AllCurrent() {
  return {"Atualização concluída! Nenhum arquivo desatualizado.",
          "¡Actualización completada! No hay archivos desactualizados.",
          "Update completed! No outdated files found."};
}

LocalizedText DownloadAhead() {
  return {"Verificação concluída. Preparando download dos arquivos...",
          "Verificación completada. Preparando la descarga de los archivos...",
          "Verification completed. Preparing file download..."};
}

LocalizedText Downloading(const std::string& path, const std::string& sizes) {
  const std::string rest = path + ".rar - " + sizes;
  return {"Baixando: " + rest, "Descargando: " + rest, "Downloading: " + rest};
}

LocalizedText Extracting(const std::string& path) {
  const std::string rest = path + ".rar";
  return {"Extraindo: " + rest, "Extrayendo: " + rest, "Extracting: " + rest};
}

LocalizedText DownloadFailed() {
  return {"02# Não foi possível concluir o update!", "02# ¡No se puede completar la actualización!",
          "02# Unable to complete the update!"};
}

// The Spanish text has no opening mark, unlike the 02# one.
LocalizedText InstallFailed() {
  return {"01# Não foi possível concluir o update!", "01# No se puede completar la actualización!",
          "01# Unable to complete the update!"};
}

LocalizedText FinishedClean() {
  return {"Atualização concluída!", "¡Actualización completada!", "Update completed!"};
}

LocalizedText FinishedWithFailures() { return {"Bom jogo!!", "¡¡Buen juego!!", "Have a great game!!"}; }

LocalizedText UpdateRefused() {
  return {"Atualização recusada: a assinatura do servidor de atualização não é válida.",
          "Actualización rechazada: la firma del servidor de actualizaciones no es válida.",
          "Update refused: the update server's signature is not valid."};
}

}  // namespace updater_texts
