#include "update_site/site_files.h"

#include "common/scoped_removal.h"
#include "platform/files.h"

std::string ReadWholeFile(const std::string& path) {
  platform::File file = platform::File::OpenRead(path);
  std::string content;
  char block[65536];
  while (size_t got = file.Read(block, sizeof block)) content.append(block, got);
  return content;
}

void ReplaceFileContent(const std::string& path, std::string_view content) {
  const std::string temporary = path + kTemporarySuffix;
  ScopedRemoval cleanup(temporary);
  {
    platform::File file = platform::File::Create(temporary);
    file.Write(content.data(), content.size());
    file.Flush();
  }
  if (!platform::ReplaceFileAtomic(temporary, path)) {
    throw platform::SystemError("Cannot put \"" + path + "\" in place", 0);
  }
  cleanup.Keep();
}
