# The desktop program. Sources are picked up per folder; app/IniFile.cpp and app/WriteLog.cpp
# belong to orvanta_data.
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
if(ORVANTA_GUI_SOURCES)
  add_library(orvanta_gui STATIC ${ORVANTA_GUI_SOURCES})
  target_link_libraries(orvanta_gui PUBLIC orvanta_flags orvanta_data orvanta_output orvanta_platform_qt
    Qt6::Widgets Qt6::PrintSupport)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/app/main.cpp)
  add_executable(orvanta ${CMAKE_SOURCE_DIR}/app/main.cpp)
  target_link_libraries(orvanta PRIVATE orvanta_gui)
endif()
