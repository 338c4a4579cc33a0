# Instrumented builds. Both options apply to every target of the project, so
# the engine library is checked as well as the programs that call it.
#
# VARNEL_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer, halting on
# the first error (scripts/test --sanitize, in build-sanitize/).
# VARNEL_FUZZ: the same plus libFuzzer's coverage instrumentation; builds the
# fuzz targets in fuzz/ (clang only; scripts/fuzz, in build-fuzz/).
option(VARNEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VARNEL_FUZZ "Build the libFuzzer targets in fuzz/ (clang, with ASan and UBSan)" OFF)

if(VARNEL_SANITIZE OR VARNEL_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # Bounds checks in the standard library's containers and strings as well.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
endif()

if(VARNEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VARNEL_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage feedback everywhere; the fuzzer's main is linked into the fuzz
  # targets only.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
