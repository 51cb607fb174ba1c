#pragma once
#include <string>

#include "common/launcher_view.h"
#include "remote/activity_log.h"

// Asks the configuration service at service_base (scheme and host, and a port) for this
// installation's document (the token from
// LauncherConfig.ClientToken, unescaped) and reads it into LauncherConfig and SlideList;
// shows the server logo it names on view. Each document the service answers is kept beside the
// launcher ("LastConfig.json"); when the service cannot be reached or answers with no document,
// the kept one is read instead. Problems go to the activity log and the launcher goes on with
// empty values when nothing is kept. Raises ConversionError for a section value that has no text and
// platform::SystemError when the log cannot be written. Window thread, start-up only. The
// entries go to log and the kept document lives in kept_folder (with its trailing separator;
// empty: none kept or read).
void LoadLauncherConfig(const std::string& service_base, LauncherView& view, const LogSink& log,
                        const std::string& kept_folder);
