# End-to-end tests of vormlan-cli inf and generate (a shell script driving the
# real program, natively and under Wine).
if(CMAKE_CROSSCOMPILING)
  add_test(NAME cli_inf_generate
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/inf_generate_test.sh" "${CMAKE_SOURCE_DIR}"
                   wine "${CMAKE_BINARY_DIR}/wine-run" $<TARGET_FILE:vormlan-cli>)
  set_tests_properties(cli_inf_generate PROPERTIES FIXTURES_REQUIRED wine_prefix)
else()
  add_test(NAME cli_inf_generate
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/inf_generate_test.sh" "${CMAKE_SOURCE_DIR}"
                   native $<TARGET_FILE:vormlan-cli>)
endif()
