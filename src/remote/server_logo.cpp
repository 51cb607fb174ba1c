#include "remote/server_logo.h"

#include <cstdint>
#include <vector>

#include "remote/caught_error.h"
#include "remote/picture_decoders.h"
#include "remote/web_retrieval.h"

namespace {

bool IsPngExtension(std::string_view extension) {
  if (extension.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ".png"[i]) return false;
  }
  return true;
}

}  // namespace

LogoFormat LogoFormatOf(std::string_view address) {
  size_t start = address.find_last_of(".:\\");
  if (start == std::string_view::npos || address[start] != '.') return LogoFormat::Jpeg;
  return IsPngExtension(address.substr(start)) ? LogoFormat::Png : LogoFormat::Jpeg;
}

void LoadServerLogo(LauncherView& view, const std::string& address) { LoadServerLogo(view, address, WriteLog); }

void LoadServerLogo(LauncherView& view, const std::string& address, const LogSink& log) {
  bool downloaded = true;
  auto failure = CaughtError([&] {
    std::vector<uint8_t> stream;
    downloaded = DownloadToStream(address, stream);
    if (!downloaded) return;
    bool png = LogoFormatOf(address) == LogoFormat::Png;
    view.SetServerLogo(png ? DecodePng(stream) : DecodeJpeg(stream));
  });
  if (!downloaded) log("Falha ao baixar logo em " + address);
  if (failure) log("Erro ao carregar a logo: " + *failure);
}
