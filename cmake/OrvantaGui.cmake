# The desktop program. Sources are picked up per folder; app/IniFile.cpp and app/WriteLog.cpp
# belong to orvanta_data. Icons are compiled in from res/orvanta.qrc.
set(ORVANTA_GUI_DIRS app controls callcheck optout agents)
set(ORVANTA_GUI_SOURCES "")
foreach(dir ${ORVANTA_GUI_DIRS})
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND ORVANTA_GUI_SOURCES ${dir_sources})
endforeach()
list(REMOVE_ITEM ORVANTA_GUI_SOURCES
  ${CMAKE_SOURCE_DIR}/app/IniFile.cpp
  ${CMAKE_SOURCE_DIR}/app/WriteLog.cpp
  ${CMAKE_SOURCE_DIR}/app/main.cpp)

add_library(orvanta_gui STATIC ${ORVANTA_GUI_SOURCES} ${CMAKE_SOURCE_DIR}/res/orvanta.qrc)
set_target_properties(orvanta_gui PROPERTIES AUTORCC ON)
target_link_libraries(orvanta_gui PUBLIC orvanta_flags orvanta_data orvanta_platform_qt
  Qt6::Widgets Qt6::PrintSupport)
# Receipt tickets and spreadsheet export, once that library has sources.
if(TARGET orvanta_output)
  target_link_libraries(orvanta_gui PUBLIC orvanta_output)
endif()
# The lock-key panes of the status bar ask the X server; elsewhere they stay empty.
find_package(X11 QUIET)
if(X11_FOUND AND X11_Xkb_FOUND)
  target_link_libraries(orvanta_gui PRIVATE X11::X11)
  target_compile_definitions(orvanta_gui PRIVATE ORVANTA_HAVE_X11=1)
endif()

add_executable(orvanta ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(orvanta PRIVATE orvanta_gui)
target_compile_definitions(orvanta PRIVATE ORVANTA_VERSION="${PROJECT_VERSION}")
# The demo's alert sound beside the program.
add_custom_command(TARGET orvanta POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/res/notify.wav $<TARGET_FILE_DIR:orvanta>/notify.wav)
