euribor_test(chart_test chart_test.cpp)
euribor_test(chart_widgets_test chart_widgets_test.cpp)
