# Writes the software-centre entry (AppStream metainfo) from its template.
#
#   cmake -DINPUT=<template> -DOUTPUT=<file> -DSETTINGS=<settings> -P metainfo.cmake
#
# The settings file sets VERSION, RELEASE_DATE, LICENSE, DEVELOPER_NAME and
# the addresses HOMEPAGE_URL, BUGTRACKER_URL and SCREENSHOTS_URL. An address
# left empty leaves its element out: no placeholder reaches the entry.
include(${SETTINGS})

function(xml_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

foreach(name VERSION RELEASE_DATE LICENSE DEVELOPER_NAME HOMEPAGE_URL BUGTRACKER_URL SCREENSHOTS_URL)
  xml_escape(${name} "${${name}}")
endforeach()

set(URLS "")
if(HOMEPAGE_URL)
  string(APPEND URLS "\n  <url type=\"homepage\">${HOMEPAGE_URL}</url>")
endif()
if(BUGTRACKER_URL)
  string(APPEND URLS "\n  <url type=\"bugtracker\">${BUGTRACKER_URL}</url>")
endif()

# The README's screenshots: file, English caption, Russian caption. The
# first is the default.
set(shots
  "sheet1-work.png|The work: title, description, requirements|Информация о работе"
  "sheet2-picture.png|The picture and its caption|Картинка"
  "sheet3-participants.png|Authors and supervisors|Авторы и руководители"
  "sheet4-comments.png|A note to the organising committee|Комментарии"
  "dialog-subjects.png|Choosing the festival's sections|Разделы"
  "dialog-form1.png|Adding a participant by ID|Добавить"
  "dialog-open-picture.png|Choosing a picture|Открытие картинки"
  "sheet1-description-over-500.png|A description longer than what is published|Описание длиннее 500 знаков"
  "sheet1-spelling.png|A misspelt word and its corrections|Слово с ошибкой и его меню")
set(SCREENSHOTS "")
if(SCREENSHOTS_URL)
  string(REGEX REPLACE "/+$" "" base "${SCREENSHOTS_URL}")
  string(APPEND SCREENSHOTS "\n  <screenshots>")
  set(kind " type=\"default\"")
  foreach(shot IN LISTS shots)
    string(REPLACE "|" ";" parts "${shot}")
    list(GET parts 0 file)
    list(GET parts 1 english)
    list(GET parts 2 russian)
    string(APPEND SCREENSHOTS "
    <screenshot${kind}>
      <caption>${english}</caption>
      <caption xml:lang=\"ru\">${russian}</caption>
      <image>${base}/${file}</image>
    </screenshot>")
    set(kind "")
  endforeach()
  string(APPEND SCREENSHOTS "\n  </screenshots>")
endif()

configure_file(${INPUT} ${OUTPUT} @ONLY)
