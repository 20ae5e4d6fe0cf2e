# SPDX-License-Identifier: MIT
# kelid3_warnings(<target>): the project's warning set, errors with KELID3_WERROR.
function(kelid3_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
                                             $<$<BOOL:${KELID3_WERROR}>:-Werror>)
endfunction()
