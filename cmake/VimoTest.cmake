# vimo_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# Builds one GoogleTest binary and registers its cases with CTest.
include(GoogleTest)
function(vimo_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VIMO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VIMO_FTP_SERVER_SCRIPT="${PROJECT_SOURCE_DIR}/scripts/ftp_server.py")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}"
    DISCOVERY_TIMEOUT 60)
endfunction()
