euribor_test(chart_test chart_test.cpp)
euribor_test(chart_frame_test chart_frame_test.cpp)
