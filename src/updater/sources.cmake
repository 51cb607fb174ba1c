target_sources(launcher_core PRIVATE
  updater/bz_stream.cpp
  updater/check_files.cpp
  updater/crc32.cpp
  updater/crc32_folding.cpp
  updater/download_file.cpp
  updater/extract_file.cpp
  updater/files_thread.cpp
  updater/finish_update.cpp
  updater/install_files.cpp
  updater/list_entry.cpp
  updater/list_file.cpp
  updater/size_format.cpp
  updater/stream.cpp
  updater/updater_state.cpp
  updater/updater_texts.cpp
)
