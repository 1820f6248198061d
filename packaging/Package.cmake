# What `cmake --install` puts beside the program, and the Debian package
# CPack builds from it (see the "package" presets).

install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/systemd ${CMAKE_CURRENT_LIST_DIR}/cron.d
                  ${CMAKE_CURRENT_LIST_DIR}/windows
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man page and the changelog, compressed as man(1) reads them and as
# Debian packages carry them (gzip -n: no name or time stamp, so that the
# build is reproducible).
find_program(CLEANLOGS_GZIP gzip)
foreach(document IN ITEMS docs/cleanlogs.1 packaging/changelog)
  get_filename_component(name ${document} NAME)
  set(source ${PROJECT_SOURCE_DIR}/${document})
  if(document MATCHES "[.]1$")
    set(destination ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    set(destination ${CMAKE_INSTALL_DOCDIR})
  endif()
  if(CLEANLOGS_GZIP)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed/${name}.gz)
    add_custom_command(
      OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/compressed
      COMMAND ${CLEANLOGS_GZIP} -9n -c ${source} > ${compressed}
      DEPENDS ${source}
      COMMENT "Compressing ${name}")
    list(APPEND CLEANLOGS_COMPRESSED ${compressed})
    install(FILES ${compressed} DESTINATION ${destination})
  else()
    install(FILES ${source} DESTINATION ${destination})
  endif()
endforeach()
add_custom_target(cleanlogs_documents ALL DEPENDS ${CLEANLOGS_COMPRESSED})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cleanlogs)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps a server installation's log directory in order")
# Lines of the long description must not start with a dot, nor hold
# double quotation marks (CPack passes them on unescaped).
set(CPACK_PACKAGE_DESCRIPTION
    "Started every day by a scheduler from the bin directory of a server
installation, cleanlogs deletes the logs in ../log whose names contain .log
(in any case) and that were last written before an age limit a given number
of days back. With its second argument true it first renames the web-server
logs created on an earlier day to dated names and puts fresh empty logs in
their place. Each run writes a report of what it did into the log directory,
and its exit status is the number of entries it tried to delete.
A dry run (-n) shows what a run would do without changing anything.")
set(CLEANLOGS_PACKAGE_CONTACT "cleanlogs developers <cleanlogs@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")
set(CPACK_PACKAGE_CONTACT ${CLEANLOGS_PACKAGE_CONTACT})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
