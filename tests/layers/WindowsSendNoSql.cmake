# The windows only show and ask: statements and result sets belong to the
# engine's services. Fails naming each file under the given folder that
# sends a statement itself, takes a result set, or includes the result-set
# header.
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
set(found "")
foreach(source IN LISTS sources)
  file(READ "${source}" text)
  # Comments may name what the code must not do.
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  # A statement of its own, rows of a statement, or the header of result sets.
  set(sends "execute|query|storeResult|fetchRows|startStatement|startPrepared|insertStatement|selectDatabase|deleteRows|selectUsers|showDatabases|showTables")
  string(REGEX MATCHALL "(\\.|->)[ \t\r\n]*(${sends})[ \t\r\n]*\\(|#[ \t]*include[ \t]*[\"<]mysql/ResultSet\\.h[\">]"
    hits "${text}")
  foreach(hit IN LISTS hits)
    string(APPEND found "${source}: ${hit}\n")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "A window sends SQL or reads a result set itself:\n${found}")
endif()
message(STATUS "No window sends SQL or reads a result set")
