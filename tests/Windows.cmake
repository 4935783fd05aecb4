# The tests of a cross-build for Windows, run under the emulator of the toolchain (Wine).
# GoogleTest is built from its sources (Debian: googletest in /usr/src/googletest). Only the
# unit tests that need no POSIX process are built: those that start the program, inspect
# descriptors or load the fault shim are POSIX-only.
set(BRIX_GTEST_QUELLE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${BRIX_GTEST_QUELLE} googletest EXCLUDE_FROM_ALL)

add_library(brix_referenz OBJECT
  support/Referenz.cpp support/Bruecke.cpp support/SchmalCodec.cpp support/Zufallsdokument.cpp)
target_link_libraries(brix_referenz PRIVATE brixlib GTest::gtest)
target_include_directories(brix_referenz PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(brix_referenz PRIVATE -O2)

foreach(name test_array test_index test_suche test_taghelfer test_differenz)
  add_executable(${name} ${name}.cpp)
  target_link_libraries(${name} PRIVATE brixlib brix_referenz GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endforeach()

# The ZIP package, checked on the build host; the packaged program runs under the emulator,
# whose words are passed joined by "|" (a list would be split into separate arguments).
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "|" BRIX_EMULATOR)
add_test(NAME paket_zip
  COMMAND ${CMAKE_COMMAND}
    -DBRIX_CPACK=${CMAKE_CPACK_COMMAND}
    -DBRIX_BUILD_DIR=${PROJECT_BINARY_DIR}
    -DBRIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DBRIX_VERSION=${PROJECT_VERSION}
    -DBRIX_EXE=$<TARGET_FILE:brixfilter>
    -DBRIX_OBJDUMP=${CMAKE_OBJDUMP}
    -DBRIX_EMULATOR=${BRIX_EMULATOR}
    -DBRIX_ARBEIT=${CMAKE_CURRENT_BINARY_DIR}/paket_zip
    -P ${CMAKE_CURRENT_SOURCE_DIR}/PaketZip.cmake)
set_tests_properties(paket_zip PROPERTIES TIMEOUT 600)
