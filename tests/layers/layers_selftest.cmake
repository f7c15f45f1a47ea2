# The layer check must be able to fail: a small tree with one forbidden include of each kind beside allowed
# ones, checked as the real tree is. Every bad file is named, no good one is.
# Run as: cmake -DCHECK=<check_layers.cmake> -DWORK_DIR=<scratch folder> -DWIDGETS_DIR=<...> -P layers_selftest.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(good
    "text/a.h|#include <string>"
    "serial/b.cpp|#include <QSerialPort>\n#include \"text/a.h\""
    "modbus/c.h|#include \"serial/b.h\"\n#include \"treefile/d.h\""
    "config/e.cpp|#include <QJsonObject>\n#include \"modbus/c.h\""
    "registers/f.cpp|#include <QTreeView>\n#include \"config/e.h\""
    "app/g.cpp|#include \"recording/h.h\"\n#include <QtWidgets/QDialog>"
    "tools/t/main.cpp|#include \"config/e.h\"\n#include \"tools/u/v.h\"")
set(bad
    "modbus/up.h|#include \"registers/f.h\""
    "treefile/qt.cpp|#include <QString>"
    "serial/widget.cpp|#include <QWidget>"
    "config/gui.h|#include <QtWidgets/QDialog>"
    "registers/rec.cpp|#include \"recording/h.h\""
    "recording/win.cpp|#include   \"app/g.h\""
    "tools/w/main.cpp|#include \"app/g.h\"")
foreach(entry IN LISTS good bad)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 path)
  list(GET parts 1 text)
  string(REPLACE "\\n" "\n" text "${text}")
  file(WRITE "${WORK_DIR}/${path}" "// fixture\n${text}\n")
endforeach()

execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} -DWIDGETS_DIR=${WIDGETS_DIR} -P "${CHECK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with forbidden includes:\n${out}${err}")
endif()
foreach(entry IN LISTS bad)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 path)
  string(FIND "${err}" "${path}:" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check missed ${path}:\n${err}")
  endif()
endforeach()
foreach(entry IN LISTS good)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 path)
  string(FIND "${err}" "${path}:" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the check refused the allowed ${path}:\n${err}")
  endif()
endforeach()
message(STATUS "the check names every forbidden include and no allowed one")
