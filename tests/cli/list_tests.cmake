# Tests of vormlan-cli list. Natively the program is run on an export file;
# under Wine it lists the printers of the prefix's spooler, among them those
# of tests/wine/probes-printers.reg.
vormlan_add_test(cli_list_tests
  NATIVE_ONLY
  SOURCES list_test.cpp
  LIBS vormlan_common vormlan_json)
if(TARGET cli_list_tests)
  add_dependencies(cli_list_tests vormlan-cli)
  target_compile_definitions(cli_list_tests PRIVATE
    VORMLAN_CLI="$<TARGET_FILE:vormlan-cli>"
    LIST_FIXTURE="${CMAKE_CURRENT_SOURCE_DIR}/list_printers.reg")
endif()

if(CMAKE_CROSSCOMPILING)
  add_test(NAME cli_list_wine_spooler COMMAND vormlan-cli list)
  set_tests_properties(cli_list_wine_spooler PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    PASS_REGULAR_EXPRESSION "(^|\n)Probes Office Laser 5\r?\n")
  add_test(NAME cli_list_wine_spooler_json COMMAND vormlan-cli list --json)
  set_tests_properties(cli_list_wine_spooler_json PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    PASS_REGULAR_EXPRESSION "\"\\\\\\\\\\\\\\\\probes-srv\\\\\\\\laser\"")
  add_test(NAME cli_list_wine_export COMMAND vormlan-cli list
           --registry "${CMAKE_CURRENT_SOURCE_DIR}/list_printers.reg")
  set_tests_properties(cli_list_wine_export PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    # One CR LF a line, and a tab in a name shown escaped.
    PASS_REGULAR_EXPRESSION "^[^\r\n]+list-srv.laser\r\n[^\r\n]+\r\nList\\\\tTab\r\nList Office Laser\r\n")
endif()
