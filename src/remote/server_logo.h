#pragma once
#include <string>
#include <string_view>

#include "common/launcher_view.h"
#include "remote/activity_log.h"

enum class LogoFormat { Png, Jpeg };

// The decoder an address asks for: PNG when the text from its last ".", ":" or "\" to its
// end is ".png" in any letter case, JPEG otherwise. A "/" does not end that text, and a query
// is part of it: "logo.png?v=2" is JPEG. The content is never looked at.
LogoFormat LogoFormatOf(std::string_view address);

// Fetches the picture at address, decodes it and shows it with view.SetServerLogo. Failures
// go to the log ("Falha ao baixar logo em " + address, "Erro ao carregar a logo: " + message)
// and the view keeps its picture; only an error of the log itself escapes. Window thread.
void LoadServerLogo(LauncherView& view, const std::string& address);
void LoadServerLogo(LauncherView& view, const std::string& address, const LogSink& log);
