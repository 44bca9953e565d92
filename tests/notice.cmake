# The update's desktop notification: the real executable against python-dbusmock's notification
# service on a private session bus the test starts itself.
add_executable(notice_test notice_test.cpp support/dialup_bus.cpp support/core_test_main.cpp)
target_link_libraries(notice_test PRIVATE test_support_core)
target_compile_definitions(notice_test PRIVATE EURIBOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               EURIBOR_EXECUTABLE="$<TARGET_FILE:euribor>")
add_dependencies(notice_test euribor euribor_db)
add_test(NAME notice_test COMMAND notice_test)
set_tests_properties(notice_test PROPERTIES ENVIRONMENT "${EURIBOR_TEST_ENV}" TIMEOUT 300)
