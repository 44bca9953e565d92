# Installation: cmake --install into a scratch prefix checked with the desktop, AppStream, man and
# systemd validators, and the Debian package built by CPack, checked by lintian and unpacked. Needs
# the whole build.
add_test(NAME install_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_check.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
                 ${EURIBOR_APP_ID})
set_tests_properties(install_test PROPERTIES TIMEOUT 300 ENVIRONMENT "${EURIBOR_TEST_ENV}")
