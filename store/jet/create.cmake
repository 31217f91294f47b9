# Writing side of the engine: encoders and the creation of new files. Standard library and
# POSIX only, so it builds beside the reader without depending on it.
add_library(mozhou_jet_create STATIC
  ${CMAKE_CURRENT_LIST_DIR}/encode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/create.cpp
  ${CMAKE_CURRENT_LIST_DIR}/create_bank.cpp)
target_include_directories(mozhou_jet_create PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_features(mozhou_jet_create PUBLIC cxx_std_20)
mozhou_warnings(mozhou_jet_create)
