euribor_test(import_test import_test.cpp)

# euribor --importa: the core linked alone, and the real executable killed in the middle of an import.
add_executable(import_command_test import_command_test.cpp support/core_test_main.cpp)
target_link_libraries(import_command_test PRIVATE test_support_core)
target_compile_definitions(import_command_test PRIVATE EURIBOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                       EURIBOR_EXECUTABLE="$<TARGET_FILE:euribor>")
add_dependencies(import_command_test euribor euribor_db)
add_test(NAME import_command_test COMMAND import_command_test)
set_tests_properties(import_command_test PROPERTIES ENVIRONMENT "${EURIBOR_TEST_ENV}")
