#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The update list: named sections between a line "[name]" and a line "[/name]". Lines end with
// LF (a CR before it is trimmed away) and are read as 8-bit text in the ANSI code page. Every
// line is trimmed of all characters with a code up to 32 at both ends before it is looked at;
// section lines match exactly and case-sensitively. Only the first section of a name counts,
// and a section whose closing line is missing ends at the end of the text.

// Gives the next raw line, without its LF, in `line`; false at the end of the text.
using LineSource = std::function<bool(std::string& line)>;

// The lines of `text`; the text must outlive the source.
LineSource LinesOf(std::string_view text);

// The section's non-blank lines, trimmed, in order; {"FAIL"} when it is missing or empty.
std::vector<std::string> ReadSection(const LineSource& lines, std::string_view name);
// The last field of the section's first line whose first field equals `key`; empty when none.
std::string ReadKeyValue(const LineSource& lines, std::string_view name, std::string_view key);

// A reader bound to one list file. Each lookup opens the file and reads it from the top; a
// file that cannot be opened or read raises platform::SystemError.
class TListFile {
 public:
  explicit TListFile(std::string FName);

  std::vector<std::string> GetFSection(const std::string& SName) const;
  std::string GetKeyValue(const std::string& SName, const std::string& Key) const;

 private:
  std::string file_name_;
};
