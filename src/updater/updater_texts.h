#pragma once
#include <string>

#include "common/language.h"

// The update worker's messages in the three languages, exactly as the user reads them.
namespace updater_texts {

LocalizedText Connecting();
LocalizedText Listing();
LocalizedText Checking();
LocalizedText AllCurrent();
LocalizedText DownloadAhead();
// sizes: the size and rate text, as "1.5 MB / 3.2 MB (512.0 KB/s)".
LocalizedText Downloading(const std::string& path, const std::string& sizes);
LocalizedText Extracting(const std::string& path);
LocalizedText DownloadFailed();  // 02#
LocalizedText InstallFailed();   // 01#
LocalizedText FinishedClean();
LocalizedText FinishedWithFailures();
// The list or its signed statement did not pass the launcher's checks: nothing was installed.
LocalizedText UpdateRefused();

}  // namespace updater_texts
