# Header-only libraries from Debian packages (toml++, CLI11, nlohmann-json)
# live in /usr/include next to glibc's headers. A folder of links to just
# those keeps the MinGW build away from the host's C library headers.
set(SVF_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${SVF_THIRD_PARTY_INCLUDE})
foreach(dir toml++ CLI nlohmann)
  if(EXISTS /usr/include/${dir} AND NOT EXISTS ${SVF_THIRD_PARTY_INCLUDE}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${SVF_THIRD_PARTY_INCLUDE}/${dir} SYMBOLIC)
  endif()
endforeach()
add_library(svf_third_party INTERFACE)
target_include_directories(svf_third_party SYSTEM INTERFACE ${SVF_THIRD_PARTY_INCLUDE})
target_compile_definitions(svf_third_party INTERFACE TOML_HEADER_ONLY=1 TOML_EXCEPTIONS=1)
