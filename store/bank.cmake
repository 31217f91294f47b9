# The question bank layer: its SQL texts, its tree builder, its first-run file.
file(GLOB MOZHOU_STORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(REMOVE_ITEM MOZHOU_STORE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bank_tables.cpp)
# The bank's tables and columns, on their own so that engine tests and tools can make a bank
# without the SQL layer.
add_library(mozhou_bank_tables STATIC ${CMAKE_CURRENT_SOURCE_DIR}/bank_tables.cpp)
target_include_directories(mozhou_bank_tables PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mozhou_bank_tables PUBLIC mozhou_jet_create)
mozhou_warnings(mozhou_bank_tables)

add_library(mozhou_store STATIC ${MOZHOU_STORE_SOURCES})
target_include_directories(mozhou_store PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mozhou_store PUBLIC mozhou_dao mozhou_bank_tables)
mozhou_warnings(mozhou_store)
# Where an installed program finds its files, seen from its bin folder.
file(RELATIVE_PATH mozhou_files_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/mozhou)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/bank_place.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS MOZHOU_FILES_FROM_BIN="${mozhou_files_from_bin}")
