target_sources(unit_tests PRIVATE
  update_list/list_entry_test.cpp
  update_list/list_file_test.cpp
)
