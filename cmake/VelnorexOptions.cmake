# Per-target options shared by every library, program and test of the project.
function(velnorex_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
