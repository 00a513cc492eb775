# svf_set_warnings(target): the project's warning set, as errors by default.
function(svf_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(SVF_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(SVF_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Every DLL and EXE carries its C++ runtime, so it imports only Windows
  # system DLLs and loads from any folder.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
