# One static library per module; sources are globbed so a module grows by adding files.
set(TARNWELL_WARNINGS -Wall -Wextra)

# MORE names further folders whose sources belong to the same library.
function(tarnwell_module name dir)
  cmake_parse_arguments(M "" "" "DEPS;EXTRA;MORE" ${ARGN})
  set(globs ${dir}/*.cpp)
  set(hglobs ${dir}/*.h)
  foreach(d ${M_MORE})
    list(APPEND globs ${d}/*.cpp)
    list(APPEND hglobs ${d}/*.h)
  endforeach()
  file(GLOB cpps CONFIGURE_DEPENDS ${globs})
  if(NOT cpps)
    # A module not written yet: only its headers and dependencies.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${M_DEPS})
    return()
  endif()
  file(GLOB hdrs CONFIGURE_DEPENDS ${hglobs})
  add_library(${name} STATIC ${cpps} ${hdrs} ${M_EXTRA})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${TARNWELL_WARNINGS})
  target_compile_definitions(${name} PUBLIC QT_NO_KEYWORDS)
  target_link_libraries(${name} PUBLIC ${M_DEPS})
endfunction()

# Replaces malloc and free of the whole process: linked even where the executable's own
# objects call neither, and before the C library.
function(tarnwell_fast_allocator name)
  if(TARNWELL_FAST_ALLOCATOR)
    target_link_libraries(${name} PRIVATE "-Wl,--push-state,--no-as-needed" mimalloc "-Wl,--pop-state")
  endif()
endfunction()

# One test executable per test folder; every *.cpp in it is part of the suite.
function(tarnwell_tests name dir)
  cmake_parse_arguments(T "GUI" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${TARNWELL_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(T_GUI)
    set(main_lib tarnwell_testmain_gui)
  else()
    set(main_lib tarnwell_testmain)
  endif()
  target_link_libraries(${name} PRIVATE ${T_DEPS} tarnwell_testsupport ${main_lib} GTest::gtest GTest::gmock)
  tarnwell_fast_allocator(${name})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TARNWELL_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
