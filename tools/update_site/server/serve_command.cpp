#include <stdexcept>

#include "platform/files.h"
#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/console.h"
#include "update_site/server/dev_server.h"

int RunServe(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {"config", "port", "bind", "lifetime"}, {}, 1, 1);
  ServeOptions options;
  options.site_dir = parsed.positional[0];
  options.config_dir = parsed.Last("config").value_or("");
  options.port = static_cast<uint16_t>(parsed.Number("port", 0, 65535, 8000));
  options.bind = parsed.Last("bind").value_or("127.0.0.1");
  if (parsed.Last("lifetime")) options.lifetime_seconds = static_cast<double>(parsed.Number("lifetime", 1, 86400 * 365, 0));
  if (!platform::DirectoryExists(options.site_dir)) throw std::runtime_error("\"" + options.site_dir + "\" is not a folder");
  if (!options.config_dir.empty() && !platform::DirectoryExists(options.config_dir)) {
    throw std::runtime_error("\"" + options.config_dir + "\" is not a folder");
  }

  DevServer server(options);
  console::InterruptCatcher interrupt;
  output.out << "Serving " << options.site_dir << " on http://" << options.bind << ":" << server.Port() << std::endl;
  if (options.bind.rfind("127.", 0) != 0) {
    output.err << "update-site: warning: " << options.bind
               << " is not a loopback address: other computers may reach this server\n";
  }
  server.Run(&output.out, &interrupt.Requested());
  output.out << "Stopped" << std::endl;
  return kExitOk;
}
