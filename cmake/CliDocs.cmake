# Holds the OPTIONS section of packaging/man/varnel-cli.1 and
# packaging/bash-completion-varnel-cli to what varnel-cli-docs made of the
# option table (MODE=check, the test CliDocs.PackagingMatchesTheOptionTable),
# or writes them there (MODE=update, the target varnel_cli_docs_update).
#
#   cmake -DMODE=check|update -DDOCS=FOLDER -DPACKAGING=FOLDER -P CliDocs.cmake
#
# DOCS holds the files the build made, PACKAGING is the source's packaging/.
if(NOT MODE MATCHES "^(check|update)$" OR NOT DOCS OR NOT PACKAGING)
  message(FATAL_ERROR "usage: cmake -DMODE=check|update -DDOCS=FOLDER -DPACKAGING=FOLDER -P CliDocs.cmake")
endif()

set(page_file ${PACKAGING}/man/varnel-cli.1)
set(script_file ${PACKAGING}/bash-completion-varnel-cli)
foreach(made IN ITEMS ${DOCS}/varnel-cli-options.1 ${DOCS}/bash-completion-varnel-cli)
  if(NOT EXISTS ${made})
    message(FATAL_ERROR "${made} is not there: build the target varnel_cli_docs first")
  endif()
endforeach()
file(READ ${DOCS}/varnel-cli-options.1 options)
file(READ ${DOCS}/bash-completion-varnel-cli script)
file(READ ${page_file} page)

# The page with its OPTIONS section, from ".SH OPTIONS" to the next ".SH",
# replaced by the one made.
string(FIND "${page}" "\n.SH OPTIONS\n" begin)
if(begin EQUAL -1)
  message(FATAL_ERROR "${page_file} has no line \".SH OPTIONS\"")
endif()
math(EXPR begin "${begin} + 1")
string(SUBSTRING "${page}" 0 ${begin} before)
string(SUBSTRING "${page}" ${begin} -1 rest)
string(FIND "${rest}" "\n.SH " end)
if(end EQUAL -1)
  message(FATAL_ERROR "${page_file} has no section after OPTIONS")
endif()
math(EXPR end "${end} + 1")
string(SUBSTRING "${rest}" ${end} -1 after)
set(wanted_page "${before}${options}${after}")

if(MODE STREQUAL "update")
  file(WRITE ${page_file} "${wanted_page}")
  file(WRITE ${script_file} "${script}")
  return()
endif()

file(READ ${script_file} script_now)
set(stale)
if(NOT page STREQUAL wanted_page)
  file(WRITE ${DOCS}/varnel-cli.1.wanted "${wanted_page}")
  execute_process(COMMAND diff -u ${page_file} ${DOCS}/varnel-cli.1.wanted)
  list(APPEND stale ${page_file})
endif()
if(NOT script_now STREQUAL script)
  execute_process(COMMAND diff -u ${script_file} ${DOCS}/bash-completion-varnel-cli)
  list(APPEND stale ${script_file})
endif()
if(stale)
  list(LENGTH stale count)
  list(JOIN stale " and " names)
  set(are is)
  if(count GREATER 1)
    set(are are)
  endif()
  message(FATAL_ERROR "${names} ${are} not what the option table (src/cli/OptionTable*.cpp) makes; "
    "to write them anew: cmake --build BUILD --target varnel_cli_docs_update")
endif()
