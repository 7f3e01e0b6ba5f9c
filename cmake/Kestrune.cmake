# One library target per source folder. Sources are picked up from the folder itself so
# that adding a class never means editing a shared list.
#
#   kestrune_library(<target> [DEPS <targets>...])
function(kestrune_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# A GoogleTest executable registered with CTest. Every .cpp of the calling folder is part
# of it, together with the shared test support (Qt application main, temporary trees).
#
#   kestrune_test(<name> [GUI] [DEPS <targets>...] [ENVIRONMENT <VAR=value>...])
function(kestrune_test name)
  cmake_parse_arguments(ARG "GUI" "" "DEPS;ENVIRONMENT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE TestSupportGuiMain)
  else()
    target_link_libraries(${name} PRIVATE TestSupportMain)
  endif()
  target_link_libraries(${name} PRIVATE TestSupport ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/QtPrinters.h)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" ${ARG_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()
