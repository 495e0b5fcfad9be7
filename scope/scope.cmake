# Included by the root CMakeLists.txt.
#
# The program goes to <build>/bin so that the manual, which it opens from
# <program folder>/../Plugins/, lies in <build>/Plugins/ (the test programs in <build>/tests/
# find it there too).
set_target_properties(KestrimaIII PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The manual: docs/manual.html rendered to PDF by a small Qt tool at build time; the HTML
# edition goes beside it (the Help menu's web page).
add_executable(make_manual_pdf ${CMAKE_SOURCE_DIR}/docs/make_manual_pdf.cpp)
target_link_libraries(make_manual_pdf PRIVATE Qt5::Gui)

set(KESTRIMA_PLUGINS_DIR ${CMAKE_BINARY_DIR}/Plugins)
set(KESTRIMA_MANUAL_PDF ${KESTRIMA_PLUGINS_DIR}/KestrimaIII_Help_File.pdf)
set(KESTRIMA_MANUAL_HTML ${KESTRIMA_PLUGINS_DIR}/KestrimaIII_Help.html)
add_custom_command(
  OUTPUT ${KESTRIMA_MANUAL_PDF} ${KESTRIMA_MANUAL_HTML}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRIMA_PLUGINS_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/manual.html ${KESTRIMA_MANUAL_HTML}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:make_manual_pdf> ${CMAKE_SOURCE_DIR}/docs/manual.html ${KESTRIMA_MANUAL_PDF}
  DEPENDS make_manual_pdf ${CMAKE_SOURCE_DIR}/docs/manual.html
  COMMENT "Rendering the user manual to ${KESTRIMA_MANUAL_PDF}"
  VERBATIM)
add_custom_target(kestrima_manual ALL DEPENDS ${KESTRIMA_MANUAL_PDF} ${KESTRIMA_MANUAL_HTML})
# Every program that links the library (the tests among them) can open the manual.
add_dependencies(kestrima_core kestrima_manual)
