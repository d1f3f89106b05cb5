# Warnings and sanitizers are set per target, on our own code only.
function(kovrel_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(KOVREL_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
