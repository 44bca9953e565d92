euribor_test(history_db_test history_db_test.cpp)
euribor_test(record_test record_test.cpp)
