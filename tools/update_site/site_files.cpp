#include "update_site/site_files.h"

#include "common/file_content.h"
#include "platform/files.h"

std::string ReadWholeFile(const std::string& path) {
  platform::File file = platform::File::OpenRead(path);
  std::string content;
  char block[65536];
  while (size_t got = file.Read(block, sizeof block)) content.append(block, got);
  return content;
}

void ReplaceFileContent(const std::string& path, std::string_view content) {
  ReplaceFileContent(path, content, kTemporarySuffix);
}
