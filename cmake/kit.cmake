# Shared build helpers.

# Warnings for our own targets.
function(kit_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KIT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A test executable run by ctest, headless.
#   kit_add_test(NAME name SOURCES ... LIBS ... [GTEST] [QTEST] [OWN_MAIN] [ENV var=value ...] [TIMEOUT s])
# GTEST links gtest_main unless the sources bring their own main (OWN_MAIN); QTEST links Qt Test.
# A GoogleTest program's cases are tests of their own, named NAME.Suite.Case (so `ctest -R` runs
# one), listed when ctest runs; other programs are one test called NAME.
include(GoogleTest)
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
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ${T_ENV})
  if(T_GTEST)
    # The program runs under `cmake -E env`, so listing its cases and running them see the same
    # environment (ctest's ENVIRONMENT does not reach the listing).
    set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
    gtest_discover_tests(${T_NAME} TEST_PREFIX "${T_NAME}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${T_TIMEOUT})
    return()
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_QTEST)
    # A Qt test passes only when it reached its totals line: a program that ended early (exit
    # code 0 from a fatal path, say) must not count as a pass.
    set_tests_properties(${T_NAME} PROPERTIES PASS_REGULAR_EXPRESSION "Totals: [0-9]+ passed, 0 failed")
  endif()
endfunction()

# The cases of GoogleTest program `target` once more, as tests VARIANT.Suite.Case, with one more
# environment variable (NAME=VALUE): kit_add_test_variant(VARIANT target NAME=VALUE).
function(kit_add_test_variant variant target setting)
  gtest_discover_tests(${target} TEST_PREFIX "${variant}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "${setting}")
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

# ---------------------------------------------------------------------------------------------
# Sanitizers and fuzzing.
#
# KIT_SANITIZE: the whole project with AddressSanitizer and UndefinedBehaviorSanitizer (gcc or
# clang); the first report ends the program. KIT_FUZZ (clang only): the same, plus coverage
# instrumentation for libFuzzer everywhere, and the fuzz targets linked with libFuzzer's driver.
if(KIT_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KIT_FUZZ needs clang: -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14")
endif()
set(KIT_SANITIZERS "")
if(KIT_FUZZ)
  set(KIT_SANITIZERS "fuzzer-no-link,address,undefined")
elseif(KIT_SANITIZE)
  set(KIT_SANITIZERS "address,undefined")
endif()
if(KIT_SANITIZERS)
  # -O1 keeps the instrumented build quick to compile and run; line tables are enough for the
  # reports' stack traces. Sources that ask for -O3 keep it (their options come later).
  add_compile_options(-fsanitize=${KIT_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer
                      -O1 -g1)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  add_link_options(-fsanitize=${KIT_SANITIZERS})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Calls through a function pointer of another prototype are how C plug-in interfaces work
    # (dlsym); the checks that remain are the ones that find bugs.
    add_compile_options(-fno-sanitize=function)
  endif()

  # Every program gets the sanitizer defaults below built in (leak suppressions, report options),
  # so a sanitized program behaves the same whether ctest, a build step or a person runs it.
  set(kit_supp ${CMAKE_SOURCE_DIR}/cmake/lsan.supp)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kit_supp})
  file(READ ${kit_supp} KIT_LSAN_SUPPRESSIONS)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/sanitizer_defaults.cpp.in
                 ${CMAKE_BINARY_DIR}/sanitizer_defaults.cpp @ONLY)
  add_library(kit_sanitizer_defaults OBJECT ${CMAKE_BINARY_DIR}/sanitizer_defaults.cpp)
  set_target_properties(kit_sanitizer_defaults PROPERTIES AUTOMOC OFF)
endif()

# All build-system targets of `dir` and the folders below it.
function(kit_targets_below out dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    kit_targets_below(more ${sub})
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Called once at the end of the top CMakeLists.txt: the target `fuzzers` that builds every fuzz
# target, and the sanitizer defaults built into every program of a sanitized build.
function(kit_finish)
  get_property(fuzzers GLOBAL PROPERTY KIT_FUZZERS)
  add_custom_target(fuzzers)
  if(fuzzers)
    add_dependencies(fuzzers ${fuzzers})
  endif()
  if(NOT KIT_SANITIZERS)
    return()
  endif()
  kit_targets_below(targets ${CMAKE_SOURCE_DIR})
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${t} PRIVATE $<TARGET_OBJECTS:kit_sanitizer_defaults>)
    endif()
  endforeach()
endfunction()

# A libFuzzer target and its seed corpus.
#
#   kit_add_fuzzer(NAME name SOURCES file... [LIBS lib...]
#                  SEEDS generator [SEED_ARGS arg...]
#                  [DICT file] [TIMEOUT seconds] [RSS_LIMIT_MB n] [MAX_LEN bytes])
#
# The sources define LLVMFuzzerTestOneInput (and may define LLVMFuzzerInitialize). The program is
# called fuzz_<name>. SEEDS names a program target of the project that writes the seed corpus:
# it is run at build time as `generator SEED_ARGS... FOLDER` and writes one file per seed into
# FOLDER (build/fuzz/seeds/<name>). DICT is a libFuzzer dictionary (relative to the calling
# folder). TIMEOUT (default 5 s per input) and RSS_LIMIT_MB (default 2048) make hangs and memory
# blow-ups findings; MAX_LEN caps the input size (default: libFuzzer's choice from the seeds).
#
# With KIT_FUZZ the program is a libFuzzer binary (scripts/fuzz runs it); in every other build it
# is a replay program that runs each file it is given once. Either way ctest's fuzz_<name>_replay
# runs it once over the seeds and over the inputs kept in fuzz/regressions/<name>/ (earlier
# findings), so every build keeps the targets compiling and every sanitizer build checks that the
# findings stay fixed.
function(kit_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;SEEDS;DICT;TIMEOUT;RSS_LIMIT_MB;MAX_LEN" "SOURCES;LIBS;SEED_ARGS" ${ARGN})
  if(NOT F_NAME OR NOT F_SOURCES OR NOT F_SEEDS)
    message(FATAL_ERROR "kit_add_fuzzer: NAME, SOURCES and SEEDS are required")
  endif()
  if(NOT F_TIMEOUT)
    set(F_TIMEOUT 5)
  endif()
  if(NOT F_RSS_LIMIT_MB)
    set(F_RSS_LIMIT_MB 2048)
  endif()
  set(target fuzz_${F_NAME})
  add_executable(${target} ${F_SOURCES})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  kit_warnings(${target})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  if(KIT_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  endif()

  set(seeds ${CMAKE_BINARY_DIR}/fuzz/seeds/${F_NAME})
  add_custom_command(OUTPUT ${seeds}.stamp
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${seeds}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${seeds}
    COMMAND ${F_SEEDS} ${F_SEED_ARGS} ${seeds}
    COMMAND ${CMAKE_COMMAND} -E touch ${seeds}.stamp
    DEPENDS ${F_SEEDS}
    COMMENT "Writing the seed corpus of fuzz_${F_NAME}"
    VERBATIM)
  add_custom_target(${target}_seeds DEPENDS ${seeds}.stamp)
  add_dependencies(${target} ${target}_seeds)

  set(dict "")
  if(F_DICT)
    get_filename_component(dict ${F_DICT} ABSOLUTE)
    if(NOT EXISTS ${dict})
      message(FATAL_ERROR "kit_add_fuzzer(${F_NAME}): no dictionary ${dict}")
    endif()
  endif()
  set(regressions ${CMAKE_SOURCE_DIR}/fuzz/regressions/${F_NAME})
  # What scripts/fuzz needs to run the target.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz/targets/${F_NAME}.conf CONTENT
"program=$<TARGET_FILE:${target}>
seeds=${seeds}
regressions=${regressions}
dict=${dict}
timeout=${F_TIMEOUT}
rss_limit_mb=${F_RSS_LIMIT_MB}
max_len=${F_MAX_LEN}
")
  set_property(GLOBAL APPEND PROPERTY KIT_FUZZERS ${target})

  # Earlier findings are optional: a target without any has no folder.
  set(inputs ${seeds})
  if(IS_DIRECTORY ${regressions})
    list(APPEND inputs ${regressions})
  endif()
  if(KIT_FUZZ)
    # libFuzzer runs each input once and stops.
    add_test(NAME ${target}_replay COMMAND ${target} -runs=0 -timeout=${F_TIMEOUT}
      -rss_limit_mb=${F_RSS_LIMIT_MB} ${inputs})
  else()
    add_test(NAME ${target}_replay COMMAND ${target} ${inputs})
  endif()
  set_tests_properties(${target}_replay PROPERTIES TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()
