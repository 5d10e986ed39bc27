# Shared build helpers.

# Warnings for our own targets.
function(kit_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KIT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A test executable run by ctest, headless.
#   kit_add_test(NAME name SOURCES ... LIBS ... [GTEST] [QTEST] [ENV var=value ...] [TIMEOUT s])
# GTEST links gtest_main unless the sources bring their own main; QTEST links Qt Test.
function(kit_add_test)
  cmake_parse_arguments(T "GTEST;QTEST;OWN_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  kit_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  if(T_GTEST)
    if(T_OWN_MAIN)
      target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock)
    else()
      target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
    endif()
  endif()
  if(T_QTEST)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE KIT_SHARED_DIR="${KIT_SHARED_DIR}"
                                               KIT_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;${T_ENV}")
  if(T_QTEST AND NOT T_GTEST)
    # A Qt test passes only when it reached its totals line: a program that ended early (exit
    # code 0 from a fatal path, say) must not count as a pass.
    set_tests_properties(${T_NAME} PROPERTIES PASS_REGULAR_EXPRESSION "Totals: [0-9]+ passed, 0 failed")
  endif()
endfunction()

# Checks record layouts as a 32-bit build sees them: compiles SOURCE with -m32 (syntax only),
# so the static_asserts in it hold for the 32-bit layout the hosts share.
function(kit_add_layout32_check name source)
  cmake_parse_arguments(L "" "" "INCLUDES" ${ARGN})
  set(incs)
  foreach(d ${L_INCLUDES})
    list(APPEND incs -I${d})
  endforeach()
  get_filename_component(ext ${source} EXT)
  if(ext STREQUAL ".c")
    set(compiler ${CMAKE_C_COMPILER})
  else()
    set(compiler ${CMAKE_CXX_COMPILER})
  endif()
  add_test(NAME ${name} COMMAND ${compiler} -m32 -fsyntax-only ${incs} ${source})
endfunction()
