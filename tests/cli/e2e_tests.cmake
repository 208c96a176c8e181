# End-to-end tests of vormlan-cli as a user runs it on Linux: shell scripts
# over fixture exports in tests/data/cli and hives made from them at test time.
if(NOT CMAKE_CROSSCOMPILING AND TARGET make-test-hive)
  add_test(NAME cli_rescue
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/rescue_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> $<TARGET_FILE:make-test-hive>)
  add_test(NAME cli_arch_store
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/arch_store_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli>)
  add_test(NAME cli_sources
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/sources_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> $<TARGET_FILE:make-test-hive>)
  add_test(NAME cli_messages
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/messages_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> $<TARGET_FILE:make-test-hive>)
  # The rescue of a real disk, over the real hive of shared/data/real-hives.
  add_test(NAME cli_real_hive
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/real_hive_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> $<TARGET_FILE:make-test-hive>
                   "${CMAKE_SOURCE_DIR}/../shared/data/real-hives")
  add_test(NAME cli_store_ready
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/store_ready_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> "${CMAKE_SOURCE_DIR}/../shared/data/real-hives")
endif()
if(NOT CMAKE_CROSSCOMPILING AND TARGET vormlan-cli-man)
  add_test(NAME cli_docs
           COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/docs_test.sh" "${CMAKE_SOURCE_DIR}"
                   $<TARGET_FILE:vormlan-cli> "${VORMLAN_CLI_DOCS_DIR}")
endif()
