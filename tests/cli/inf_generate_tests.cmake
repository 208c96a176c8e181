# End-to-end tests of vormlan-cli inf and generate (a shell script driving the
# real program, natively and under Wine).
if(CMAKE_CROSSCOMPILING)
  add_test(NAME cli_inf_generate
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/inf_generate_test.sh" "${CMAKE_SOURCE_DIR}"
                   windows "${CMAKE_BINARY_DIR}/wine-run" $<TARGET_FILE:vormlan-cli>)
  set_tests_properties(cli_inf_generate PROPERTIES FIXTURES_REQUIRED wine_prefix)
else()
  add_test(NAME cli_inf_generate
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/inf_generate_test.sh" "${CMAKE_SOURCE_DIR}"
                   native $<TARGET_FILE:vormlan-cli>)
endif()

# vormlan-cli.exe on the prefix's own registry and Windows directory, its
# packages judged by setupapi for the architecture Wine runs the programs as.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(cli_running_arch x64)
  else()
    set(cli_running_arch x86)
  endif()
  add_test(NAME cli_wine_live
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/wine_cli_test.sh" ${cli_running_arch}
                   "${CMAKE_BINARY_DIR}/wine-run" $<TARGET_FILE:vormlan-cli>
                   $<TARGET_FILE:setupapi-verdict>)
  set_tests_properties(cli_wine_live PROPERTIES FIXTURES_REQUIRED wine_prefix)
endif()
