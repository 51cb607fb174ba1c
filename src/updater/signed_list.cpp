// Signed update lists: a launcher built with trusted keys takes a list only with its statement.
#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "common/file_content.h"
#include "common/language.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "remote/activity_log.h"
#include "remote/internet_failure_text.h"
#include "signing/sha256.h"
#include "updater/files_thread.h"
#include "updater/whole_answer.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"

namespace {

// A statement names every package of a site in about a hundred bytes each.
constexpr size_t kLargestStatement = 64u << 20;
constexpr const char* kAcceptedVersionFile = "mu.update.version";

Sha256Digest FileSha256(const std::string& path) {
  platform::File file = platform::File::OpenRead(path);
  Sha256 digest;
  std::vector<char> block(65536);
  while (size_t got = file.Read(block.data(), block.size())) digest.Update(block.data(), got);
  return digest.Final();
}

// A missing or unreadable record counts as none: the statement's own checks still hold.
uint64_t ReadAcceptedVersion(const std::string& path) {
  try {
    platform::File file = platform::File::OpenRead(path);
    char text[32];
    std::string digits(text, file.Read(text, sizeof text));
    auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
    if (digits.empty() || digits.size() > 19 || !std::all_of(digits.begin(), digits.end(), is_digit)) return 0;
    return std::stoull(digits);
  } catch (const std::exception&) {
    return 0;
  }
}

// Written beside and renamed into place, so the record is always one whole number.
void WriteAcceptedVersion(const std::string& path, uint64_t version) {
  ReplaceFileContent(path, std::to_string(version), ".tmp");
}

}  // namespace

// The highest version accepted is kept with the launcher's own files, so that a site that
// serves an older, still validly signed list (a rollback) is refused.
std::string GFilesThread::AcceptedVersionPath() const { return LauncherFolder() + kAcceptedVersionFile; }

std::string GFilesThread::LauncherFolder() const {
  const std::string executable = system_.executable_path();
  return executable.substr(0, executable.find_last_of("\\/") + 1);
}

bool GFilesThread::AcceptSignedList(const std::string& list_path) {
  statement_.reset();
  const WholeAnswer answer = FetchWholeAnswer(UUrl + StatementFileName, system_.receive_timeout_ms, kLargestStatement);
  if (answer.not_connected) LogNotConnected(UUrl + StatementFileName, *answer.not_connected);
  const std::optional<std::string>& bytes = answer.body;
  if (!bytes) {
    Refuse("no signed statement could be fetched from " + UUrl + StatementFileName);
    return false;
  }
  StatementCheck check = ReadStatement(*bytes, system_.trusted_keys);
  if (!check.statement) {
    Refuse(check.reason);
    return false;
  }
  const std::string version_path = AcceptedVersionPath();
  const uint64_t highest = ReadAcceptedVersion(version_path);
  if (std::optional<std::string> why =
          CheckStatementFor(*check.statement, FileSha256(list_path), system_.unix_time(), highest)) {
    Refuse(*why);
    return false;
  }
  if (check.statement->version > highest) WriteAcceptedVersion(version_path, check.statement->version);
  statement_ = std::move(check.statement);
  return true;
}

// Nothing is installed; the player reads why in the detail line and can still play.
void GFilesThread::Refuse(const std::string& reason) {
  Log("Lista de atualização recusada: " + reason);
  StatusText = PickText(updater_texts::UpdateRefused());
  Synchronize(&GFilesThread::ShowFinalText);
}

void GFilesThread::LogNotConnected(const std::string& url, const platform::InternetFailure& failure) {
  Log("Falha ao conectar ao servidor de atualização: " + url + " - " + InternetFailureText(failure));
}

void GFilesThread::Log(const std::string& message) {
  log_entry_ = message;
  Synchronize(&GFilesThread::WriteLogEntry);
}

// A log that cannot be written does not stop the pass.
void GFilesThread::WriteLogEntry() {
  try {
    WriteLogIn(LauncherFolder(), log_entry_);
  } catch (const std::exception&) {
  }
}
