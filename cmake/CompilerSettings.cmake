# Qt hygiene the compiler enforces, and warnings kept at zero.
add_compile_definitions(
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_KEYWORDS)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
  endif()
endif()
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# add_piece_test(name sources... LIBS libs...) : one GoogleTest executable per piece.
# GUI: the test gets a main() that creates a QApplication first (offscreen in CTest).
function(add_piece_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(T_GUI)
    add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/common/gui_main.cpp)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest Qt6::Test Qt6::Widgets)
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=America/Sao_Paulo"
    TIMEOUT 600)
endfunction()
