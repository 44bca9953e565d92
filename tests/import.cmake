euribor_test(import_test import_test.cpp)

# euribor --importa: the core linked alone, and the real executable killed in the middle of an import.
euribor_core_test(import_command_test import_command_test.cpp)
