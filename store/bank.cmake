# The question bank layer: its SQL texts (and later its tables and tree builder).
file(GLOB MOZHOU_STORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
add_library(mozhou_store STATIC ${MOZHOU_STORE_SOURCES})
target_include_directories(mozhou_store PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mozhou_store PUBLIC mozhou_dao)
mozhou_warnings(mozhou_store)
# The first-run bank is made with the file creator.
target_link_libraries(mozhou_store PUBLIC mozhou_jet_create)
# Where an installed program finds its files, seen from its bin folder.
file(RELATIVE_PATH mozhou_files_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/mozhou)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/bank_place.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS MOZHOU_FILES_FROM_BIN="${mozhou_files_from_bin}")
