include(CMakePackageConfigHelpers)

install(TARGETS qorvex qorvex_static
  EXPORT qorvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/qorvex.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT qorvexTargets
  NAMESPACE qorvex::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qorvex)

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/qorvexConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qorvexConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qorvex)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/qorvexConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/qorvexConfig.cmake
  ${PROJECT_BINARY_DIR}/qorvexConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qorvex)

# pkg-config: the prefix is found relative to the .pc file, so an installed
# tree works wherever `cmake --install --prefix` put it.
string(REGEX REPLACE "[^/]+" ".." QORVEX_PC_TO_PREFIX "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(${PROJECT_SOURCE_DIR}/cmake/qorvex.pc.in
  ${PROJECT_BINARY_DIR}/qorvex.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qorvex.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The tool's manual page (generated from docs/cli.md by
# scripts/make-manpage.sh and kept in the repository), the licence, the
# security policy and the release notes.
if(QORVEX_BUILD_CLI)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/qorvex.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/SECURITY.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
