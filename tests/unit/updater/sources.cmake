target_sources(unit_tests PRIVATE
  ../support/http_test_server.cpp
  ../support/test_window_thread.cpp
  updater/check_files_test.cpp
  updater/delta_pass_test.cpp
  updater/download_file_test.cpp
  updater/fetch_ahead_test.cpp
  updater/files_thread_test.cpp
  updater/full_disk_test.cpp
  updater/install_files_test.cpp
  updater/resume_test.cpp
  updater/self_update_test.cpp
  updater/signed_pass_test.cpp
  updater/updater_fixture.cpp
)
