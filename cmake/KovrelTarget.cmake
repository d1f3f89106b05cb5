# Warnings and sanitizers are set per target, on our own code only.
function(kovrel_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12's optimiser reports impossible overlaps and overflows inside libstdc++'s own string
  # and vector code at -O2/-O3 (fixed in GCC 13): those two checks are left to newer compilers.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-stringop-overflow)
  endif()
  # Clang's UBSan leaves out-of-range float to integer conversions to a check of their own.
  set(undefined undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(undefined undefined,float-cast-overflow)
  endif()
  if(KOVREL_SANITIZE OR KOVREL_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=address,${undefined} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=${undefined})
    target_link_options(${target} PRIVATE -fsanitize=address,${undefined})
  endif()
  if(KOVREL_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
