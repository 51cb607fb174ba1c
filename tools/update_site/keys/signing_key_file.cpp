#include "update_site/keys/signing_key_file.h"

#include <sodium/utils.h>

#include <optional>
#include <stdexcept>

#include "platform/errors.h"
#include "update_site/keys/private_file.h"
#include "update_site/site_files.h"

namespace {

// The key as text, wiped when it goes whatever ends its scope.
class WipedText {
 public:
  explicit WipedText(std::string text) : text_(std::move(text)) {}
  WipedText(const WipedText&) = delete;
  WipedText& operator=(const WipedText&) = delete;
  ~WipedText() { sodium_memzero(text_.data(), text_.size()); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace

PublicKey CreateSigningKeyFile(const std::string& path) {
  const SecretKey key = GenerateSecretKey();
  const WipedText text(SecretKeyFileText(key));
  CreatePrivateFile(path, text.Text());
  return PublicKeyOf(key);
}

SecretKey ReadSigningKeyFile(const std::string& path) {
  std::optional<WipedText> text;
  try {
    text.emplace(ReadWholeFile(path));
  } catch (const platform::SystemError& error) {
    throw std::runtime_error(std::string("cannot read the signing key: ") + error.what());
  }
  std::optional<SecretKey> key = ParseSecretKeyFile(text->Text());
  if (!key) throw std::runtime_error("\"" + path + "\" is not a secret key file written by update-site keygen, or it is damaged");
  return *key;
}
