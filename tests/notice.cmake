# The update's desktop notification: the real executable against python-dbusmock's notification
# service on a private session bus the test starts itself.
euribor_core_test(notice_test notice_test.cpp support/dialup_bus.cpp)
set_tests_properties(notice_test PROPERTIES TIMEOUT 300)
