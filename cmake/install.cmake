# Installation, the CMake package (find_package(darurov)) and the packages CPack makes.
include(CMakePackageConfigHelpers)

# The names an installed package gives, so that darurov_generate works in this tree too.
add_executable(darurov::kc ALIAS kc)
add_library(darurov::kavc ALIAS kavc)
add_library(darurov::darurov ALIAS darurov)
include(${CMAKE_CURRENT_LIST_DIR}/DarurovGenerate.cmake)

install(TARGETS kc kavc EXPORT darurovTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS darurov EXPORT darurovTargets LIBRARY DESTINATION ${DARUROV_INSTALL_PLUGINDIR})
install(FILES src/host/kavc.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/darurov/host)
# Manual pages are installed compressed where gzip is at hand, as Debian's tools expect.
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM AND NOT WIN32)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/kc.1.gz
    COMMAND ${GZIP_PROGRAM} -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/man/kc.1 > ${CMAKE_CURRENT_BINARY_DIR}/kc.1.gz
    DEPENDS man/kc.1 VERBATIM)
  add_custom_target(manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kc.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES man/kc.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT darurovTargets NAMESPACE darurov:: DESTINATION ${DARUROV_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/darurovConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/darurovConfig.cmake
  INSTALL_DESTINATION ${DARUROV_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/darurovConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/darurovConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/darurovConfigVersion.cmake
  cmake/DarurovGenerate.cmake
  DESTINATION ${DARUROV_INSTALL_CMAKEDIR})

set(CPACK_PACKAGE_NAME darurov)
set(CPACK_PACKAGE_VENDOR "darurov")
set(CPACK_PACKAGE_CONTACT "darurov maintainers <darurov@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "IDL compiler kc with its C++ implementation-header emitter")
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package installs where the build was configured to (-DCMAKE_INSTALL_PREFIX=/usr gives
# Debian's multiarch library directory).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
