euribor_test(import_test import_test.cpp)
