# The embedded images are drawn by a program of our own and committed under
# resources/Images/Icons/. After changing a drawing, redraw them with
#   cmake --build <build dir> --target images
# and commit the changed files (the build itself never rewrites the source tree).
add_executable(make_images ${CMAKE_SOURCE_DIR}/resources/generator/make_images.cpp)
target_link_libraries(make_images PRIVATE Qt5::Gui)
set_target_properties(make_images PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

add_custom_target(images
  COMMAND make_images ${CMAKE_SOURCE_DIR}/resources/Images/Icons
  COMMENT "Drawing the embedded images into resources/Images/Icons"
  VERBATIM)
