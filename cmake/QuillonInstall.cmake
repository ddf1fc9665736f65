# What `cmake --install` puts in a prefix, so that other programs can build
# against the libraries: the shared libraries with versioned names, the C
# headers of the lemmatiser, the runtime packages' C++ headers in their source
# layout, a CMake package (find_package(Quillon)) and pkg-config files.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS QN7QuillonLemmatiser QN7GeneralRuntimePack1 QN7GeneralRuntimePack2
        EXPORT QuillonTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET quillon)
  install(TARGETS quillon EXPORT QuillonTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The lemmatiser's C interface: <prefix>/include/quillon/*.h
install(DIRECTORY ${QN_ROOT}/include/quillon DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The runtime packages' modules: <prefix>/include/quillon/<folder>/<Module>.h,
# included as "platform/StringList.h", "runtime1/text/Bare_assemb.h", ...
# (the packages' include path is <prefix>/include/quillon). The lemmatiser's
# own modules are not installed: its library exports only its C functions.
foreach(folder platform
        runtime1/text runtime1/files runtime1/containers runtime1/definitions runtime1/search
        runtime2/statistics runtime2/headings runtime2/printing)
  file(GLOB headers CONFIGURE_DEPENDS ${QN_ROOT}/${folder}/*.h ${QN_ROOT}/${folder}/*.inc)
  if(headers)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillon/${folder})
  endif()
endforeach()

# CMake package: Quillon::Lemmatiser, Quillon::RuntimePack1, Quillon::RuntimePack2
# (and Quillon::quillon, the command-line program, where it is built).
set(QN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quillon)
install(EXPORT QuillonTargets NAMESPACE Quillon:: DESTINATION ${QN_CMAKE_DIR})
configure_package_config_file(${QN_ROOT}/cmake/QuillonConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/QuillonConfig.cmake INSTALL_DESTINATION ${QN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QuillonConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QuillonConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QuillonConfigVersion.cmake
        DESTINATION ${QN_CMAKE_DIR})

# pkg-config: one file per library and `quillon` for all three. Their prefix
# is found from where the .pc file lies, so an installed tree can be moved.
file(RELATIVE_PATH QN_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QN_PC_TO_PREFIX "${QN_PC_TO_PREFIX}")
foreach(pc quillon quillon-lemmatiser quillon-runtime-pack1 quillon-runtime-pack2)
  configure_file(${QN_ROOT}/cmake/pkgconfig/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
