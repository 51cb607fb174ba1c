target_sources(launcher_core PRIVATE
  updater/check_files.cpp
  updater/delta_install.cpp
  updater/download_file.cpp
  updater/extract_file.cpp
  updater/files_thread.cpp
  updater/finish_update.cpp
  updater/install_files.cpp
  updater/signed_list.cpp
  updater/updater_state.cpp
  updater/updater_texts.cpp
  updater/whole_answer.cpp
)
