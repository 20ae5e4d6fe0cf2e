# SPDX-License-Identifier: MIT
# The kelid3 CMake package (configuration, version and targets files) and
# kelid3.pc for pkg-config. Everything installed names its paths relative to
# where it is installed, so an installed tree can be moved.
include(CMakePackageConfigHelpers)

set(KELID3_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kelid3)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kelid3Config.cmake.in
    ${PROJECT_BINARY_DIR}/kelid3Config.cmake
    INSTALL_DESTINATION ${KELID3_CMAKE_DIR})
# The SONAME carries the major version: any release of the same major version
# will do, for the same pointer size.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kelid3ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kelid3Config.cmake ${PROJECT_BINARY_DIR}/kelid3ConfigVersion.cmake
    DESTINATION ${KELID3_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is found from the .pc file's own directory.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    message(FATAL_ERROR "kelid3.pc needs CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR "
                        "relative to the prefix")
endif()
file(RELATIVE_PATH KELID3_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KELID3_PC_TO_PREFIX "${KELID3_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelid3.pc.in ${PROJECT_BINARY_DIR}/kelid3.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kelid3.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
