#include "remote/config_service.h"

#include "common/launcher_config.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "remote/config_document.h"
#include "remote/internet_failure_text.h"
#include "remote/kept_config.h"
#include "remote/server_logo.h"
#include "remote/web_retrieval.h"

namespace {

// A document the service answered is kept for the starts when it cannot be reached; a kept
// document that cannot be written costs only that.
void Keep(const std::string& folder, const std::string& document, const LogSink& log) {
  try {
    KeepConfigDocument(folder, {.document = document, .taken = platform::CurrentLocalTime()});
  } catch (const platform::SystemError& error) {
    log(std::string("Não foi possível guardar a configuração: ") + error.what());
  }
}

}  // namespace

// The token goes into the address as it is: the service receives exactly what the token file
// holds, and an empty token still asks. When the service cannot be reached or answers with
// something that is not a document, the last document it answered is read as if it had just
// come; a document with missing members is still the service's answer, and it is never
// replaced by the kept one.
void LoadLauncherConfig(const std::string& service_base, LauncherView& view, const LogSink& log,
                        const std::string& kept_folder) {
  std::optional<platform::InternetFailure> failure;
  const std::string body = GetURLContent(service_base + "/api/return.php?token=" + LauncherConfig.ClientToken, &failure);
  ConfigDocumentHooks hooks{log, [&](const std::string& address) { LoadServerLogo(view, address, log); }};
  const bool answered = IsConfigDocument(body);
  ReadConfigDocument(body, LauncherConfig, SlideList, hooks);
  if (answered) {
    if (!kept_folder.empty()) Keep(kept_folder, body, log);
    return;
  }
  if (failure) log(InternetFailureText(*failure));
  if (kept_folder.empty()) return;
  KeptConfigRead read = ReadKeptConfig(kept_folder);
  if (read.damaged) log(std::string("Configuração guardada ilegível, ignorada: ") + kKeptConfigName);
  if (!read.kept) return;
  log("Usando a configuração de " + FormatLogTime(read.kept->taken, platform::UserRegionalSettings()));
  ReadConfigDocument(read.kept->document, LauncherConfig, SlideList, hooks);
}
