#include "common/file_content.h"

#include "common/scoped_removal.h"
#include "platform/errors.h"
#include "platform/files.h"

void ReplaceFileContent(const std::string& path, std::string_view content, std::string_view temporary_suffix) {
  const std::string temporary = path + std::string(temporary_suffix);
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
