#include "update_site/site_statement.h"

#include <chrono>
#include <limits>
#include <optional>
#include <stdexcept>

#include "platform/files.h"
#include "update_site/site_files.h"
#include "update_site/utf8_path.h"

namespace {

std::string StatementPath(const std::filesystem::path& site_dir) { return Utf8(site_dir / StatementFileName); }

uint64_t NextVersion(const std::string& path) {
  if (!platform::FileExists(path)) return 1;
  std::optional<uint64_t> old = ReadStatementVersion(ReadWholeFile(path));
  if (!old) return 1;
  if (*old == std::numeric_limits<uint64_t>::max()) {
    throw std::runtime_error("\"" + path + "\" has the highest version a statement can have: no newer one can follow");
  }
  return *old + 1;
}

}  // namespace

int64_t UnixTimeNow() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

PublishedStatement PublishStatement(const std::filesystem::path& site_dir, std::string_view list_bytes,
                                    std::map<std::string, PackageDigest> packages, const SigningOptions& signing) {
  const std::string path = StatementPath(site_dir);
  SignedStatement statement;
  statement.version = NextVersion(path);
  statement.expires = signing.now + signing.lifetime_seconds;
  statement.list_sha256 = Sha256Of(list_bytes);
  statement.packages = std::move(packages);
  ReplaceFileContent(path, WriteStatement(statement, signing.key));
  return {statement.version, statement.expires, KeyId(PublicKeyOf(signing.key))};
}

bool WithdrawStatement(const std::filesystem::path& site_dir) {
  const std::string path = StatementPath(site_dir);
  if (!platform::FileExists(path)) return false;
  if (!platform::RemoveFile(path)) throw platform::SystemError("Cannot remove \"" + path + "\"", 0);
  return true;
}
