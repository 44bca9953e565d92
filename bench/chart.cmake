euribor_bench(chart_bench chart_bench.cpp)
