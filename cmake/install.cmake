# What an installation holds besides the helper (installed by tagline/): the programs, the
# shipped defaults, manual pages, shell completion and, with the window, its desktop
# integration. Paths follow GNUInstallDirs, so /usr, /usr/local and any other prefix work.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(share ${PROJECT_SOURCE_DIR}/share)

foreach(program kestrow-cli kestrow_aplib_tool kestrow)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${share}/kestrow/kestrow.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrow)
install(FILES ${share}/bash-completion/completions/kestrow-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the changelog are installed compressed, as Debian wants them; gzip -n keeps
# the result the same from build to build.
set(pages kestrow-cli kestrow-aplib)
if(TARGET kestrow)
  list(APPEND pages kestrow)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
set(compressed ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/doc/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog VERBATIM)
foreach(page ${pages})
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9nc ${share}/man/man1/${page}.1 > ${out}
                     DEPENDS ${share}/man/man1/${page}.1 VERBATIM)
  list(APPEND compressed ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(kestrow_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The desktop entry, icons and AppStream metadata describe the window, so they come with it.
if(TARGET kestrow)
  set(id org.kestrow.Kestrow)
  install(FILES ${share}/applications/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${share}/metainfo/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size scalable 48x48)
    file(GLOB icon ${share}/icons/hicolor/${size}/apps/${id}.*)
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
  endforeach()
endif()
