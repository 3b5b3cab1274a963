# Installation and Debian packages. Two components, one package each:
#   desk   -> orvanta         the desk program, its menu entry, icons, metadata and manual
#   server -> orvanta-server  rdbcli and the SQLite extension
include(GNUInstallDirs)

set(ORVANTA_PACKAGE_MAINTAINER "Orvanta <packages@orvanta.com>" CACHE STRING
  "Maintainer field of the Debian packages (\"Name <address>\")")

set(ORVANTA_DOC_DESK ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvanta)
set(ORVANTA_DOC_SERVER ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvanta-server)

# Manual pages are made from each program's own --help at build time, so they cannot drift
# from it; res/man/*.h2m adds what --help does not say.
find_program(HELP2MAN_PROGRAM help2man)
find_program(GZIP_PROGRAM gzip REQUIRED)
if(NOT HELP2MAN_PROGRAM)
  message(WARNING "help2man not found: the manual pages are not built or installed (scripts/bootstrap installs it)")
endif()

function(orvanta_manual_page target section summary component)
  if(NOT TARGET ${target} OR NOT HELP2MAN_PROGRAM)
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${target}.${section})
  set(extra ${CMAKE_SOURCE_DIR}/res/man/${target}.h2m)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            ${HELP2MAN_PROGRAM} --no-info --section=${section} --name=${summary}
            --include=${extra} --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${GZIP_PROGRAM} -9nf ${page}
    DEPENDS ${target} ${extra}
    COMMENT "Manual page ${target}(${section})"
    VERBATIM)
  add_custom_target(${target}_manual ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()

# A Debian package needs its change log compressed beside its copyright file.
configure_file(${CMAKE_SOURCE_DIR}/cmake/deb/changelog.in ${CMAKE_BINARY_DIR}/deb/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/deb/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/deb/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog
  VERBATIM)
add_custom_target(orvanta_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/deb/changelog.gz)

# The desk.
if(TARGET orvanta)
  install(TARGETS orvanta RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desk)
  install(FILES ${CMAKE_SOURCE_DIR}/res/orvanta.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT desk)
  install(FILES ${CMAKE_SOURCE_DIR}/res/com.orvanta.Orvanta.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT desk)
  foreach(size 16 32 48 256)
    set(icon ${CMAKE_SOURCE_DIR}/res/icons/orvanta${size}.png)
    if(size EQUAL 32)
      set(icon ${CMAKE_SOURCE_DIR}/res/icons/orvanta.png)
    endif()
    install(FILES ${icon} RENAME orvanta.png
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps COMPONENT desk)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/orvanta.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT desk)
  # The alert sound, for a start folder that has none of its own.
  install(FILES ${CMAKE_SOURCE_DIR}/res/notify.wav
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/orvanta COMPONENT desk)
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/deb/copyright ${CMAKE_BINARY_DIR}/deb/changelog.gz
    DESTINATION ${ORVANTA_DOC_DESK} COMPONENT desk)
  orvanta_manual_page(orvanta 1 "desk for the callback requests of an answering service" desk)
endif()

# The shared server's tools.
if(TARGET rdbcli)
  install(TARGETS rdbcli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
  orvanta_manual_page(rdbcli 1 "command-line client of the Orvanta database" server)
endif()
# The collation extension that lets the stock sqlite3 tool read our databases.
if(TARGET orvanta_sqlite)
  install(TARGETS orvanta_sqlite LIBRARY DESTINATION lib/orvanta COMPONENT server)
endif()
if(TARGET rdbcli)
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/deb/copyright ${CMAKE_BINARY_DIR}/deb/changelog.gz
    DESTINATION ${ORVANTA_DOC_SERVER} COMPONENT server)
endif()

# Everything the install rules copy, so a packaging build can skip the tests.
add_custom_target(orvanta_packaged)
foreach(target orvanta rdbcli orvanta_sqlite orvanta_manual rdbcli_manual orvanta_changelog)
  if(TARGET ${target})
    add_dependencies(orvanta_packaged ${target})
  endif()
endforeach()

# Debian packages: cpack -G DEB in the build folder (scripts/package does it all).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VENDOR Orvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVANTA_PACKAGE_MAINTAINER})
# Everything lands below /usr whatever the build's own prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL)
if(TARGET orvanta)
  list(APPEND CPACK_COMPONENTS_ALL desk)
endif()
if(TARGET rdbcli)
  list(APPEND CPACK_COMPONENTS_ALL server)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE orvanta)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANTA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_DESK_PACKAGE_NAME orvanta)
set(CPACK_DEBIAN_DESK_PACKAGE_SECTION misc)
# Korean faces of the forms, and what opens an exported workbook.
set(CPACK_DEBIAN_DESK_PACKAGE_RECOMMENDS "fonts-nanum, fonts-nanum-coding, xdg-utils")
set(CPACK_DEBIAN_DESK_PACKAGE_SUGGESTS "orvanta-server, libreoffice-calc")
set(CPACK_DEBIAN_DESK_DESCRIPTION "desk for the callback requests of an answering service
Orvanta shows the callback requests that callers leave with an answering
service as they arrive: it checks for new ones every ten seconds and sounds
an alert, prints each one as a ticket on a receipt printer, keeps memos,
hands requests to agents, shows callback-rate statistics, lists opt-out
registrations and exports rows to a spreadsheet.
.
The user interface is Korean.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME orvanta-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION database)
# Retire the gateway service of 1.0 on upgrade; its data stays.
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/cmake/deb/preinst
  ${CMAKE_SOURCE_DIR}/cmake/deb/postinst)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_SERVER_DESCRIPTION "database tools for Orvanta desks
rdbcli runs statements the way a desk does, installs the schema on a
PostgreSQL database, copies a desk's database file onto one, adds customer
logins, creates demonstration databases and feeds them new callback
requests.")

include(${CMAKE_SOURCE_DIR}/cmake/ServerSetup.cmake)
include(CPack)
