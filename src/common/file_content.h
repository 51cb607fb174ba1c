#pragma once
#include <string>
#include <string_view>

// Writes the content under path + temporary_suffix, makes it durable, and puts it in place of
// `path` in one step, so that a reader sees the old file or the whole new one, never a part.
// Raises platform::SystemError; the temporary file never stays behind.
void ReplaceFileContent(const std::string& path, std::string_view content, std::string_view temporary_suffix);
