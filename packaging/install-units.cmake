# Writes the systemd units when the project is installed (by `cmake --install` or by CPack), with
# ExecStart= naming the programs under the prefix being installed to. That prefix is only known
# then: CPack installs under /usr whatever the build tree was configured with.
# Set by the caller: MV_UNITS, MV_UNIT_SOURCE_DIR, MV_UNIT_BINARY_DIR, MV_UNIT_SUBDIR, MV_BIN_SUBDIR.
set(MV_INSTALL_BINDIR "${CMAKE_INSTALL_PREFIX}/${MV_BIN_SUBDIR}")
foreach(unit IN LISTS MV_UNITS)
  configure_file("${MV_UNIT_SOURCE_DIR}/${unit}.in" "${MV_UNIT_BINARY_DIR}/${unit}" @ONLY)
  file(INSTALL "${MV_UNIT_BINARY_DIR}/${unit}"
       DESTINATION "${CMAKE_INSTALL_PREFIX}/${MV_UNIT_SUBDIR}"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
