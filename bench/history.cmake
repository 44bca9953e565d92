euribor_bench(history_bench history_bench.cpp)
target_link_libraries(history_bench PRIVATE Qt6::Sql)
