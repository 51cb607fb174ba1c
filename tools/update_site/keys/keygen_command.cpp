#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/keys/private_file.h"
#include "update_site/keys/signing_key_file.h"

int RunKeygen(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {}, {}, 1, 1);
  const std::string& path = parsed.positional[0];
  PublicKey public_key;
  try {
    public_key = CreateSigningKeyFile(path);
  } catch (const FileExists&) {
    output.err << "update-site: \"" << path
               << "\" exists already: a secret key is never written over (choose another name, or remove the old "
                  "file yourself once no launcher needs its key)\n";
    return kExitProblems;
  }
  // Only the public key goes to standard output, so that it can be captured on its own.
  output.err << "update-site: wrote the secret key to \"" << path
             << "\": keep it off the web server, and sign with build --signing-key. The public key, for "
                "LAUNCHER_PUBLIC_KEYS and verify --public-key:\n";
  output.out << PublicKeyText(public_key) << "\n";
  return kExitOk;
}
