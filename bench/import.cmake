euribor_bench(import_bench import_bench.cpp)
target_link_libraries(import_bench PRIVATE Qt6::Sql)
