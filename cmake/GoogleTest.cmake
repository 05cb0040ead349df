# GoogleTest from Debian's source package, built with this project's own flags
# (sanitizers natively, MinGW for the tests that run under Wine).
set(PELORIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${PELORIN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own code is not ours to warn about.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
include(GoogleTest)
