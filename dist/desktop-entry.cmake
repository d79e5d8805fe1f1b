# Installs the menu entry; run by `cmake --install` (and so by cpack), with
# entry_in (the template), entry_name (the installed file's name), work (a
# folder to write in), bindir and datadir (below the prefix) set.
#
# Under the prefix /usr the entry starts the program by name. Under any other
# prefix it names the program's full path: a prefix's bin folder that was
# created by this install (~/.local/bin) is on PATH only from the next login.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(exec tirlada)
else()
  set(exec "${CMAKE_INSTALL_PREFIX}/${bindir}/tirlada")
  # A path with reserved characters is quoted, as the desktop entry format
  # asks: \ " ` $ escaped inside the quotes, then each \ doubled for the
  # string value, and % doubled for the field codes.
  if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`%]")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
    set(exec "\"${exec}\"")
    string(REPLACE "\\" "\\\\" exec "${exec}")
  endif()
  string(REPLACE "%" "%%" exec "${exec}")
endif()

# A folder of its own for each run: a staged install and a package may be
# built at the same time from one build folder.
string(RANDOM LENGTH 10 tag)
set(folder "${work}/desktop-entry-${tag}")
configure_file("${entry_in}" "${folder}/${entry_name}" @ONLY)
file(INSTALL "${folder}/${entry_name}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${datadir}/applications")
file(REMOVE_RECURSE "${folder}")
