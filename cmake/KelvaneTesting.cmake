# kelvane_add_test_suite(<name> SOURCES ... LIBS ... [TIMEOUT seconds] [ENV VAR=value ...]
#                        [PREFIX prefix] [RESOURCE_LOCK name] [SERIAL])
# Builds one GoogleTest program and registers each of its test cases with CTest. Every case gets a
# time-out, so a hanging test fails instead of stalling the run. Qt-based cases find no display
# and use the offscreen platform. Cases of suites with the same RESOURCE_LOCK never run at the same
# time; SERIAL cases run alone (see kelvane_register_tests).
include(GoogleTest)
find_package(GTest REQUIRED)

function(kelvane_add_test_suite name)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT;PREFIX;RESOURCE_LOCK" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  # g++ 12 optimising string concatenations of the tests reports overlaps that cannot happen
  # (-Wrestrict inside libstdc++'s char_traits); the programs' own code keeps the warning.
  target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  target_compile_definitions(${name} PRIVATE
    KELVANE_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data/"
    KELVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}/")
  add_dependencies(${name} kelvane_data)
  set(serial)
  if(ARG_SERIAL)
    set(serial SERIAL)
  endif()
  kelvane_register_tests(${name} PREFIX "${ARG_PREFIX}" TIMEOUT ${ARG_TIMEOUT} ENV ${ARG_ENV}
                         RESOURCE_LOCK "${ARG_RESOURCE_LOCK}" ${serial})
endfunction()

# kelvane_register_tests(<target> [PREFIX p] [TIMEOUT s] [ENV ...] [FILTER gtest-filter]
#                        [RESOURCE_LOCK name] [SERIAL])
# Registers an already built test program's cases (again), e.g. under another locale. SERIAL runs
# each case alone, for tests that act as a person at the keyboard and mouse: a double click and
# typing are timed, and a runner busy with every other test cannot keep their pace.
function(kelvane_register_tests target)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT;PREFIX;FILTER;RESOURCE_LOCK" "ENV" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  set(filter)
  if(ARG_FILTER)
    set(filter TEST_FILTER ${ARG_FILTER})
  endif()
  set(lock)
  if(ARG_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  if(ARG_SERIAL)
    list(APPEND lock RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${target}
    ${filter}
    TEST_PREFIX "${ARG_PREFIX}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}"
               ${lock})
endfunction()
