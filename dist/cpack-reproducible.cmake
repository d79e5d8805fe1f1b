# Run by cpack after it wrote the packages (CPACK_POST_BUILD_SCRIPTS).
#
# CPack gives every file, folder and archive member the time it was written.
# dpkg-deb builds each package again from the same contents with every time
# clamped to SOURCE_DATE_EPOCH (set by CPackProject.cmake) and the members
# in a fixed order, so that one commit gives the same bytes.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.contents")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not unpack ${deb}")
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${deb}"
    OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not pack ${deb} again")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
