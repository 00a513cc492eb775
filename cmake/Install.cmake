# What `cmake --install` puts under the prefix:
#   bin/      svfplay (and on Windows svfplayer.dll, veltra_64.dll)
#   lib/      libsvfplayer.so.MAJOR (versioned soname), libveltra.so.2,
#             cmake/svfplayer/ (the CMake package), pkgconfig/svfplayer.pc
#   include/  svfplayer/svf_player.h, veltra_sim.h
#   share/man/man1/svfplay.1
# svfplay looks for its libraries beside itself and then in ../lib, so the
# tree works from any prefix; the fixed folder names keep that promise.
set(SVF_INSTALL_BIN bin)
set(SVF_INSTALL_LIB lib)
set(SVF_INSTALL_INCLUDE include)
set(SVF_INSTALL_PACKAGE ${SVF_INSTALL_LIB}/cmake/svfplayer)

if(WIN32)
  # The DLL keeps its one name and carries its version as a resource.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/svfplayer.rc.in ${PROJECT_BINARY_DIR}/svfplayer.rc
                 @ONLY)
  target_sources(svfplayer PRIVATE ${PROJECT_BINARY_DIR}/svfplayer.rc)
else()
  # On Linux the soname carries the major version.
  set_target_properties(svfplayer PROPERTIES VERSION ${PROJECT_VERSION}
                                             SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
target_include_directories(svfplayer INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${SVF_INSTALL_INCLUDE}>)
target_include_directories(veltra INTERFACE $<INSTALL_INTERFACE:${SVF_INSTALL_INCLUDE}>)
set_target_properties(veltra PROPERTIES EXPORT_NAME veltra_sim)
# The names a project that includes this one sees, the same as the package's.
add_library(svfplayer::svfplayer ALIAS svfplayer)
add_library(svfplayer::veltra_sim ALIAS veltra)

install(TARGETS svfplayer veltra EXPORT svfplayerTargets
  RUNTIME DESTINATION ${SVF_INSTALL_BIN}
  LIBRARY DESTINATION ${SVF_INSTALL_LIB}
  ARCHIVE DESTINATION ${SVF_INSTALL_LIB})
install(TARGETS svfplay RUNTIME DESTINATION ${SVF_INSTALL_BIN})
install(FILES ${PROJECT_SOURCE_DIR}/include/svfplayer/svf_player.h
        DESTINATION ${SVF_INSTALL_INCLUDE}/svfplayer)
install(FILES ${PROJECT_SOURCE_DIR}/sim/include/veltra_sim.h DESTINATION ${SVF_INSTALL_INCLUDE})
install(FILES ${PROJECT_SOURCE_DIR}/docs/svfplay.1 DESTINATION share/man/man1)

include(CMakePackageConfigHelpers)
install(EXPORT svfplayerTargets NAMESPACE svfplayer:: DESTINATION ${SVF_INSTALL_PACKAGE})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/svfplayerConfig.cmake.in
  ${PROJECT_BINARY_DIR}/svfplayerConfig.cmake INSTALL_DESTINATION ${SVF_INSTALL_PACKAGE})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/svfplayerConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/svfplayerConfig.cmake
              ${PROJECT_BINARY_DIR}/svfplayerConfigVersion.cmake
        DESTINATION ${SVF_INSTALL_PACKAGE})

configure_file(${PROJECT_SOURCE_DIR}/cmake/svfplayer.pc.in ${PROJECT_BINARY_DIR}/svfplayer.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/svfplayer.pc DESTINATION ${SVF_INSTALL_LIB}/pkgconfig)
