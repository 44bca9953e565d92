# Dial-up: the texts and the mapping (pure), the module through the simulated service, and the
# NetworkManager backend against python-dbusmock on a private bus the test starts itself.
euribor_test(dialup_texts_test dialup_texts_test.cpp)
euribor_test(dialup_tick_test dialup_tick_test.cpp)
euribor_test(dialup_nm_test dialup_nm_test.cpp support/dialup_bus.cpp)
set_tests_properties(dialup_nm_test PROPERTIES TIMEOUT 300)
euribor_test(dialup_window_test dialup_window_test.cpp)
