target_sources(unit_tests PRIVATE
  remote/activity_log_test.cpp
  remote/client_token_test.cpp
  remote/config_document_test.cpp
  remote/config_service_test.cpp
  remote/kept_config_test.cpp
  remote/remote_test_files.cpp
  remote/server_logo_test.cpp
  remote/test_pictures.cpp
  remote/web_retrieval_test.cpp
)
