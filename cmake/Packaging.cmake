# Installation: the shared library with a versioned SONAME, the public header,
# the command-line tool, a CMake package (find_package(sibdecode) gives the
# target sibdecode::sibdecode) and a pkg-config file sibdecode.pc. The static
# library, the tests, benchmarks and fuzz targets are never installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(SIBDECODE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sibdecode)

add_library(sibdecode::sibdecode ALIAS libsibdecode)
set_target_properties(libsibdecode PROPERTIES VERSION ${PROJECT_VERSION}
                                              SOVERSION ${PROJECT_VERSION_MAJOR}
                                              EXPORT_NAME sibdecode)
# Consumers see only the public header folder: the source tree's copy while
# building here, <prefix>/include once installed.
set_property(TARGET libsibdecode PROPERTY INTERFACE_INCLUDE_DIRECTORIES
             $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
             $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS libsibdecode EXPORT sibdecodeTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET sibdecode)
  # The tool carries the library's code (cli/CMakeLists.txt): it needs no RPATH.
  install(TARGETS sibdecode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/include/sibdecode/sibdecode.h
              ${CMAKE_SOURCE_DIR}/include/sibdecode/capture.h
              ${CMAKE_SOURCE_DIR}/include/sibdecode/gsmtap.h
              ${CMAKE_SOURCE_DIR}/include/sibdecode/survey.h
              ${CMAKE_SOURCE_DIR}/include/sibdecode/sibdecode_c.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sibdecode)

install(EXPORT sibdecodeTargets NAMESPACE sibdecode:: DESTINATION ${SIBDECODE_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sibdecodeConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/sibdecodeConfig.cmake
                              INSTALL_DESTINATION ${SIBDECODE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sibdecodeConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sibdecodeConfig.cmake
              ${CMAKE_BINARY_DIR}/sibdecodeConfigVersion.cmake
        DESTINATION ${SIBDECODE_CMAKE_DIR})

# sibdecode.pc locates the prefix from its own folder, so it stays right
# under `cmake --install --prefix DIR` and DESTDIR.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(SIBDECODE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH SIBDECODE_PC_UP ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" SIBDECODE_PC_UP "${SIBDECODE_PC_UP}")
  set(SIBDECODE_PC_PREFIX "\${pcfiledir}/${SIBDECODE_PC_UP}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(SIBDECODE_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(SIBDECODE_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/sibdecode.pc.in ${CMAKE_BINARY_DIR}/sibdecode.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/sibdecode.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installs into a temporary prefix and builds two consumers against it, one
# with find_package and one with pkg-config (needs pkg-config and make). Not
# in instrumented builds (the consumers are plain programs) nor for Windows.
if(SIBDECODE_TESTS AND TARGET sibdecode AND NOT SIBDECODE_SANITIZE AND NOT SIBDECODE_FUZZ
   AND NOT WIN32)
  find_program(SIBDECODE_PKG_CONFIG pkg-config)
  find_program(SIBDECODE_MAKE make)
  if(SIBDECODE_PKG_CONFIG AND SIBDECODE_MAKE)
    add_test(NAME installed_package_consumers
             COMMAND ${CMAKE_COMMAND} -E env CXX=${CMAKE_CXX_COMPILER}
                     ${CMAKE_SOURCE_DIR}/tests/consumers/run_consumers.sh ${CMAKE_BINARY_DIR})
  else()
    message(STATUS "pkg-config or make not found: test installed_package_consumers left out")
  endif()
endif()
