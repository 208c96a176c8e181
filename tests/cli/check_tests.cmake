# Tests of vormlan-cli check, run as a program on folders the test writes.
vormlan_add_test(cli_check_tests
  NATIVE_ONLY
  SOURCES check_test.cpp
  LIBS vormlan_generation vormlan_json)
if(TARGET cli_check_tests)
  add_dependencies(cli_check_tests vormlan-cli)
  target_compile_definitions(cli_check_tests PRIVATE VORMLAN_CLI="$<TARGET_FILE:vormlan-cli>")
endif()

# The close-name matching of the lookup hints, on its own.
vormlan_add_test(cli_hints_tests
  NATIVE_ONLY
  SOURCES hints_test.cpp
  LIBS vormlan_cli_commands)
