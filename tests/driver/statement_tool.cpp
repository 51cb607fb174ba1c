// statement_tool: signs statements that update-site never writes (expired, with a chosen
// version), so that the end-to-end tests can serve them to the launcher as an attacker would
// with a stolen or old key.
//
//   statement_tool resign SECRET_KEY_FILE STATEMENT [--expires UNIX_TIME] [--version N]
//
// Reads STATEMENT without checking its signature, changes what the options say, and writes it
// back signed with the key. Exit code 0 when done, 1 on a failure, 2 on bad usage.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "signing/signed_statement.h"

namespace {

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[1]) != "resign" || argc % 2 != 0) {
    std::fprintf(stderr, "usage: statement_tool resign SECRET_KEY_FILE STATEMENT [--expires T] [--version N]\n");
    return 2;
  }
  std::optional<SecretKey> key = ParseSecretKeyFile(ReadAll(argv[2]));
  StatementCheck check = ReadStatementUnverified(ReadAll(argv[3]));
  if (!key || !check.statement) {
    std::fprintf(stderr, "statement_tool: no key or no statement (%s)\n", check.reason.c_str());
    return 1;
  }
  for (int i = 4; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--expires") check.statement->expires = std::stoll(argv[i + 1]);
    else if (option == "--version") check.statement->version = std::stoull(argv[i + 1]);
    else return 2;
  }
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out << WriteStatement(*check.statement, *key);
  return out ? 0 : 1;
}
