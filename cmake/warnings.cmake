# Warnings are errors on every target; applied to the project's own targets only.
function(tavoren_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wshadow
                                           -Wno-unknown-pragmas)
endfunction()
