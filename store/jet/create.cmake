# Writing side of the engine: encoders and the creation of new files. It shares the reader's
# knowledge of the layout (column widths, offsets), so it links the reader.
# (The encoders live in mozhou_jet, which changes rows with them.)
add_library(mozhou_jet_create STATIC
  ${CMAKE_CURRENT_LIST_DIR}/create.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert.cpp)
target_include_directories(mozhou_jet_create PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_features(mozhou_jet_create PUBLIC cxx_std_20)
target_link_libraries(mozhou_jet_create PUBLIC mozhou_jet)
mozhou_warnings(mozhou_jet_create)
