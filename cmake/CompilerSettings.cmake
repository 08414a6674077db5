# Warnings kept at zero, Qt hygiene, ccache, sanitizers, and the helpers every target uses.
include(${CMAKE_CURRENT_LIST_DIR}/QtHygiene.cmake)
include(GenerateExportHeader)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
  endif()
endif()
option(SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# kel_library(target EXPORT_BASE base EXPORT_HEADER dir/base_export.h)
# Include roots of a library: src/ (every include is written from there), include/ (the
# public headers), and the generated export headers. BASE_EXPORT marks the shipped surface;
# BASE_TEST_EXPORT what only tests reach, empty unless tests are built.
function(kel_library target)
  cmake_parse_arguments(L "" "EXPORT_BASE;EXPORT_HEADER" "" ${ARGN})
  string(TOUPPER ${L_EXPORT_BASE} base)
  if(BUILD_TESTING)
    set(test_export "#define ${base}_TEST_EXPORT ${base}_EXPORT")
  else()
    set(test_export "#define ${base}_TEST_EXPORT")
  endif()
  set(content "\n// What only the tests reach; exported only in a build with tests.\n${test_export}\n")
  generate_export_header(${target} BASE_NAME ${L_EXPORT_BASE}
    EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/generated/${L_EXPORT_HEADER}
    CUSTOM_CONTENT_FROM_VARIABLE content)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>
    $<INSTALL_INTERFACE:include/listapresenca>)
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "$ORIGIN")
endfunction()

# add_piece_test(name sources... LIBS libs...) : one GoogleTest executable per piece.
# GUI: the test gets a main() that creates a QApplication first (offscreen in CTest).
function(add_piece_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(T_GUI)
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} test_gui_main GTest::gtest Qt6::Test
      Qt6::Widgets)
  else()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Qt6::Test)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Each test program in a folder of its own: the module reads files beside the executable
  # (the till's parameter file), and tests must not see the demo till's nor each other's.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests-bin/${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=America/Sao_Paulo;LISTAPRESENCA_REGISTRO=${PROJECT_BINARY_DIR}/tests-bin/${name}/registro"
    TIMEOUT 600)
endfunction()

# add_deadline_tests(test pattern): the tests of `test` matching the GoogleTest pattern run in an
# entry of their own (test_deadlines) under a short timeout, and no longer in the main one. A
# deadline that no longer holds hangs; only that timeout ends it, and it says which wait broke.
function(add_deadline_tests name pattern)
  get_test_property(${name} ENVIRONMENT env)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${pattern}")
  add_test(NAME ${name}_deadlines COMMAND ${name})
  set_tests_properties(${name}_deadlines PROPERTIES
    ENVIRONMENT "${env};GTEST_FILTER=${pattern}" TIMEOUT 90)
endfunction()
