# orvanta-setup: the root-only command that makes this machine's PostgreSQL cluster the shared
# database of the desks. It calls rdbcli for the work inside the database, so it ships beside
# it in the server package, and the package then needs PostgreSQL, PgBouncer and openssl.
if(NOT TARGET rdbcli)
  return()
endif()

set(ORVANTA_VERSION ${PROJECT_VERSION})
# The pooler's settings, its look-up function and the desks' pg_hba.conf lines: orvanta-setup
# writes the machine's files from these, so each limit has one copy.
set(ORVANTA_SAMPLE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/orvanta-server)
install(FILES ${CMAKE_SOURCE_DIR}/deploy/pgbouncer.ini ${CMAKE_SOURCE_DIR}/deploy/pgbouncer-hba.conf
              ${CMAKE_SOURCE_DIR}/deploy/pgbouncer-auth.sql ${CMAKE_SOURCE_DIR}/deploy/pg_hba-desks.conf
  DESTINATION ${CMAKE_INSTALL_DATADIR}/orvanta-server COMPONENT server)
set(ORVANTA_SETUP ${CMAKE_BINARY_DIR}/rdb/orvanta-setup)
configure_file(${CMAKE_SOURCE_DIR}/rdb/tools/orvanta-setup.in ${ORVANTA_SETUP} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(PROGRAMS ${ORVANTA_SETUP} DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT server)

# Its manual page, from its own --help like the programs' pages.
if(HELP2MAN_PROGRAM)
  set(page ${CMAKE_BINARY_DIR}/man/orvanta-setup.8)
  set(extra ${CMAKE_SOURCE_DIR}/res/man/orvanta-setup.h2m)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            ${HELP2MAN_PROGRAM} --no-info --section=8
            "--name=set up PostgreSQL as the shared database of Orvanta desks"
            --include=${extra} --output=${page} ${ORVANTA_SETUP}
    # Every option on a line of its own: a tag shorter than the indent ("--demo") would
    # otherwise run into its description.
    COMMAND sed -i [[/^\.TP$/{n;s/$/\n.br/}]] ${page}
    COMMAND ${GZIP_PROGRAM} -9nf ${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/rdb/tools/orvanta-setup.in ${extra}
    COMMENT "Manual page orvanta-setup(8)"
    VERBATIM)
  add_custom_target(orvanta-setup_manual ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT server)
  add_dependencies(orvanta_packaged orvanta-setup_manual)
endif()

if(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS)
  string(APPEND CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS ", ")
endif()
string(APPEND CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "postgresql, postgresql-common, postgresql-client, pgbouncer, openssl")
