target_sources(unit_tests PRIVATE
  ../support/http_test_server.cpp
  ../support/test_window_thread.cpp
  updater/bz_stream_test.cpp
  updater/check_files_test.cpp
  updater/crc32_test.cpp
  updater/download_file_test.cpp
  updater/files_thread_test.cpp
  updater/install_files_test.cpp
  updater/list_entry_test.cpp
  updater/list_file_test.cpp
  updater/package_address_test.cpp
  updater/self_update_test.cpp
  updater/signed_statement_test.cpp
  updater/size_format_test.cpp
  updater/split_from_end_test.cpp
  updater/updater_fixture.cpp
)
