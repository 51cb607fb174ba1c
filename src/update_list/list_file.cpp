#include "update_list/list_file.h"

#include <cstring>
#include <memory>

#include "common/misc.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && IsBlankChar(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlankChar(line.back())) line.remove_suffix(1);
  return line;
}

// Calls visit(line) with each trimmed, non-blank line after the opening line of the first
// section `name`, the closing line included, until the closing line has been visited, visit
// returns false, or the text ends.
// Built by appending: GCC 12 warns falsely (-Wrestrict) about "[" + std::string(name).
std::string Bracketed(std::string_view prefix, std::string_view name) {
  std::string line(prefix);
  line.append(name);
  line += ']';
  return line;
}

template <typename Visit>
void WalkSection(const LineSource& lines, std::string_view name, Visit visit) {
  const std::string opening = Bracketed("[", name), closing = Bracketed("[/", name);
  std::string raw;
  bool inside = false;
  while (lines(raw)) {
    std::string line = platform::FromAnsi(Trimmed(raw));
    if (!inside) {
      inside = line == opening;
      continue;
    }
    if (line.empty()) continue;
    if (!visit(line) || line == closing) return;
  }
}

// Reads a file in blocks, so that a long list never has to fit in memory as a whole.
class FileLines {
 public:
  explicit FileLines(const std::string& path) : file_(platform::File::OpenRead(path)), block_(65536) {}

  bool Next(std::string& line) {
    line.clear();
    for (;;) {
      if (start_ == end_ && !Refill()) return !line.empty();
      const char* from = block_.data() + start_;
      const char* found = static_cast<const char*>(std::memchr(from, '\n', end_ - start_));
      size_t length = found ? static_cast<size_t>(found - from) : end_ - start_;
      line.append(from, length);
      start_ += length + (found ? 1 : 0);
      if (found) return true;
    }
  }

 private:
  bool Refill() {
    start_ = 0;
    end_ = file_.Read(block_.data(), block_.size());
    return end_ > 0;
  }

  platform::File file_;
  std::vector<char> block_;
  size_t start_ = 0, end_ = 0;
};

LineSource LinesOfFile(const std::string& path) {
  auto reader = std::make_shared<FileLines>(path);
  return [reader](std::string& line) { return reader->Next(line); };
}

}  // namespace

LineSource LinesOf(std::string_view text) {
  return [text, position = size_t{0}](std::string& line) mutable {
    if (position >= text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    line.assign(text.substr(position, end - position));
    position = end + 1;
    return true;
  };
}

std::vector<std::string> ReadSection(const LineSource& lines, std::string_view name) {
  const std::string closing = Bracketed("[/", name);
  std::vector<std::string> content;
  WalkSection(lines, name, [&](const std::string& line) {
    if (line != closing) content.push_back(line);
    return true;
  });
  if (content.empty()) content.push_back("FAIL");
  return content;
}

std::string ReadKeyValue(const LineSource& lines, std::string_view name, std::string_view key) {
  std::string value;
  WalkSection(lines, name, [&](const std::string& line) {
    std::vector<std::string> fields = SplitFromEnd(line, "|");
    if (!fields.empty() && fields.back() == key) {
      value = fields.front();
      return false;
    }
    return true;
  });
  return value;
}

TListFile::TListFile(std::string FName) : file_name_(std::move(FName)) {}

std::vector<std::string> TListFile::GetFSection(const std::string& SName) const {
  return ReadSection(LinesOfFile(file_name_), SName);
}

std::string TListFile::GetKeyValue(const std::string& SName, const std::string& Key) const {
  return ReadKeyValue(LinesOfFile(file_name_), SName, Key);
}
