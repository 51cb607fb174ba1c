#include <exception>

#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/exclusions.h"

std::string UsageText() {
  std::string defaults;
  for (const std::string& pattern : Exclusions::Defaults()) defaults += (defaults.empty() ? "" : " ") + pattern;
  return "Usage:\n"
         "  update-site build GAME_DIR SITE_DIR [--exclude PATTERN]... [--no-default-excludes] [--jobs N]\n"
         "                    [--signing-key FILE [--expires-in DAYS]] [--no-deltas | --delta-versions N]\n"
         "  update-site verify SITE [--public-key KEY]... [--previous SITE]... [--jobs N]\n"
         "  update-site serve SITE_DIR [--config DIR] [--port N] [--bind ADDRESS] [--lifetime SECONDS]\n"
         "  update-site keygen SECRET_KEY_FILE\n"
         "\n"
         "build   Publishes the game folder as an update site: one bzip2 package per file (its path with\n"
         "        \".rar\" appended) and the list \"mu.update\". Only files whose content changed are\n"
         "        compressed again; packages of files that are gone are removed. For every file whose\n"
         "        content changed it also writes a delta from the previous content (from the package\n"
         "        being replaced) to the new one, under \"deltas/\", and names the deltas in\n"
         "        \"mu.update.deltas\"; deltas of earlier builds stay while a chain of them to the new\n"
         "        content is smaller than its package. The list is written last.\n"
         "        --exclude PATTERN      leave files out: \"name\" or \"*.ext\" at any depth, \"folder/\",\n"
         "                               \"/name\" from the top; letter case does not matter (repeatable)\n"
         "        --no-default-excludes  publish what the defaults leave out:\n"
         "                               " + defaults + "\n"
         "        --jobs N               compress and make deltas on N threads (default: all cores)\n"
         "        --signing-key FILE     sign: write \"mu.update.sig\" for the new list with the secret key\n"
         "                               from keygen. Without it, an earlier build's statement is removed.\n"
         "        --expires-in DAYS      the statement's lifetime (default 28): build again before it ends\n"
         "        --delta-versions N     keep deltas from up to N earlier versions of a file (default 5)\n"
         "        --no-deltas            make no deltas, and remove those of earlier builds\n"
         "verify  Fetches the list and every package of a site (a folder or an http(s) address) and checks\n"
         "        that each package is one complete bzip2 stream with the listed size and checksum; checks\n"
         "        the statement \"mu.update.sig\" against the list and the packages when there is one.\n"
         "        Checks every delta \"mu.update.deltas\" names: one whole zstd frame with the size, result\n"
         "        size and digest the index and statement give, that applies to the content it starts from\n"
         "        and gives the CRC-32 it claims when that content is at hand (in a --previous site).\n"
         "        --public-key KEY       \"ed25519:...\" from keygen: the site must be signed with this key\n"
         "                               or another one given (repeatable). Without it the signature is\n"
         "                               not checked.\n"
         "        --previous SITE        an earlier build of the site (a copy of its folder, or an\n"
         "                               address): its packages give the contents deltas start from\n"
         "                               (repeatable)\n"
         "serve   A development web server for a site on this computer, with the configuration endpoint\n"
         "        /api/return.php?token=TOKEN answered from DIR/TOKEN.json or DIR/default.json. Files are\n"
         "        sent whole or as one byte range (Range, If-Range with their ETag or Last-Modified).\n"
         "        --port N (default 8000; 0 picks a free one)  --bind ADDRESS (default 127.0.0.1)\n"
         "        --lifetime SECONDS (default: until interrupted). Production sites belong on a real web server.\n"
         "keygen  Makes a signing key pair: writes the secret key to a new file that only you can read and\n"
         "        prints the public key. Keep the secret key off the web server.\n"
         "\n"
         "Exit status: 0 success, 1 refused, failed or problems found, 2 usage error.\n";
}

int UpdateSiteMain(const std::vector<std::string>& args, const Output& output) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? output.err : output.out) << UsageText();
    return args.empty() ? kExitUsage : kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    if (args[0] == "build") return RunBuild(rest, output);
    if (args[0] == "verify") return RunVerify(rest, output);
    if (args[0] == "serve") return RunServe(rest, output);
    if (args[0] == "keygen") return RunKeygen(rest, output);
    throw UsageError("unknown command \"" + args[0] + "\"");
  } catch (const UsageError& error) {
    output.err << "update-site: " << error.what() << "\n\n" << UsageText();
    return kExitUsage;
  } catch (const std::exception& error) {
    output.err << "update-site: " << error.what() << "\n";
    return kExitProblems;
  }
}
