# The Windows programs' resources: the application icon, rendered at build
# time from packaging/icon.svg into one .ico of every size in
# QUORVEL_ICON_SIZES, and a version resource per program.
#
#   quorvel_windows_resources(TARGET "File description")
#
# gives TARGET the icon as resource 1 (the Win32 window's class loads it by
# that number) and a VERSIONINFO with the project's version.

enable_language(RC)
find_program(QUORVEL_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(QUORVEL_ICOTOOL icotool REQUIRED)

set(QUORVEL_ICO ${PROJECT_BINARY_DIR}/packaging/windows/quorvel.ico)
set(icon_pngs)
foreach(size IN LISTS QUORVEL_ICON_SIZES)
  set(png ${PROJECT_BINARY_DIR}/packaging/windows/icon-${size}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${QUORVEL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
      ${PROJECT_SOURCE_DIR}/packaging/icon.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/icon.svg
    VERBATIM)
  list(APPEND icon_pngs ${png})
endforeach()
# The largest image (256 px, last in QUORVEL_ICON_SIZES) is stored as PNG
# (--raw), as Windows expects at that size.
list(POP_BACK icon_pngs big_png)
add_custom_command(
  OUTPUT ${QUORVEL_ICO}
  COMMAND ${QUORVEL_ICOTOOL} -c -o ${QUORVEL_ICO} ${icon_pngs} --raw=${big_png}
  DEPENDS ${icon_pngs} ${big_png}
  VERBATIM)
add_custom_target(quorvel_windows_icon DEPENDS ${QUORVEL_ICO})

# The numeric form of the version (four parts) and its text.
string(REPLACE "." "," QUORVEL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

function(quorvel_windows_resources target description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(QUORVEL_FILE_NAME ${name}.exe)
  set(QUORVEL_FILE_DESCRIPTION "${description}")
  set(rc ${PROJECT_BINARY_DIR}/packaging/windows/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${QUORVEL_ICO})
  add_dependencies(${target} quorvel_windows_icon)
endfunction()
