# Runs at install time (from cmake_install.cmake): writes the rdbd systemd unit naming the
# installed rdbd. Expects ORVANTA_UNIT_TEMPLATE and ORVANTA_SBINDIR.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  # Where Debian 12 keeps the units of packages.
  set(unit_dir /lib/systemd/system)
else()
  set(unit_dir "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
endif()
set(RDBD_PROGRAM "${CMAKE_INSTALL_PREFIX}/${ORVANTA_SBINDIR}/rdbd")

# A folder of its own: cpack and a staging install may run at the same time.
string(RANDOM LENGTH 12 unit_tmp)
set(unit_tmp "${CMAKE_CURRENT_BINARY_DIR}/unit-${unit_tmp}")
configure_file("${ORVANTA_UNIT_TEMPLATE}" "${unit_tmp}/rdbd.service" @ONLY)
file(INSTALL DESTINATION "${unit_dir}" TYPE FILE
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  FILES "${unit_tmp}/rdbd.service")
file(REMOVE_RECURSE "${unit_tmp}")
