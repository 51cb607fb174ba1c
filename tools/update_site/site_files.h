#pragma once
#include <string>
#include <string_view>

// The suffix of a file that is still being written; a build removes any it finds left over.
inline constexpr char kTemporarySuffix[] = ".update-site-tmp";

// The whole content of a small file. Raises platform::SystemError.
std::string ReadWholeFile(const std::string& path);

// Writes the content under a temporary name, makes it durable, and puts it in place of `path`
// in one step, so that a reader sees the old file or the whole new one, never a part.
// Raises platform::SystemError; the temporary file never stays behind.
void ReplaceFileContent(const std::string& path, std::string_view content);
