include(GoogleTest)

# rrz_module(NAME SOURCES ... DEPS ...)
#   A static, position-independent library of one folder, linked into the
#   plug-in library and into the unit tests of that folder.
function(rrz_module name)
  cmake_parse_arguments(M "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  target_link_libraries(${name} PUBLIC ${M_DEPS})
endfunction()

# rrz_test(NAME SOURCES ... DEPS ... [LABELS ...])
#   A GoogleTest executable registered with CTest, one CTest entry per test.
#   The label "threaded" marks suites that also run under ThreadSanitizer.
#   Converters that tests run start no office suite service unless the test
#   gives them one of its own (OFFICE_PLUGINS_CONVERTER_IDLE and _SERVICE_DIR).
function(rrz_test name)
  cmake_parse_arguments(T "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/sanitizer_defaults.cpp)
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(properties TIMEOUT 120 ENVIRONMENT OFFICE_PLUGINS_CONVERTER_IDLE=0)
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${properties})
endfunction()

# rrz_plugin_library(NAME SOURCES ... WHOLE ... DEPS ...)
#   A loadable plug-in: the given sources plus the module libraries,
#   exporting only the NPAPI surface (NP_*, NPP_*, NPN_*). The WHOLE
#   libraries (the entry points and wrappers, which nothing inside the
#   library references) are linked in whole; DEPS as usual.
function(rrz_plugin_library name)
  cmake_parse_arguments(P "" "" "SOURCES;WHOLE;DEPS" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES})
  set(whole "")
  foreach(lib ${P_WHOLE})
    list(APPEND whole "$<TARGET_FILE:${lib}>")
  endforeach()
  target_link_options(${name} PRIVATE "LINKER:--whole-archive" ${whole} "LINKER:--no-whole-archive"
    "-Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin_base/exports.map")
  target_link_libraries(${name} PRIVATE ${P_WHOLE} ${P_DEPS})
  set_target_properties(${name} PROPERTIES
    LINK_DEPENDS "${PROJECT_SOURCE_DIR}/plugin_base/exports.map")
endfunction()
