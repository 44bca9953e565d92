euribor_bench(quote_bench quote_bench.cpp ${PROJECT_SOURCE_DIR}/tests/support/loopback_http.cpp)
target_link_libraries(quote_bench PRIVATE Qt6::Sql)
