# Writes a manual page from a program's own help, so the page cannot drift
# from the program. Run in script mode:
#   cmake -DPROGRAM=<path> -DNAME=<name> -DSUMMARY=<one line> -DOUT=<file>
#         [-DGROUPS=ON] -P make_manpage.cmake
# With GROUPS, every group the main help lists ("  name  words") gets a
# section of its own from "PROGRAM GROUP --help".

function(tx_roff_block text out)
  # Backslashes, and lines starting with a dot or an apostrophe, would be
  # read as requests; the text is shown as it is, in a no-fill block.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

function(tx_help program arguments out)
  execute_process(COMMAND ${program} ${arguments} OUTPUT_VARIABLE text RESULT_VARIABLE result
                  ERROR_QUIET)
  if(NOT result EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${program} ${arguments} gave no help (${result})")
  endif()
  string(STRIP "${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

tx_help(${PROGRAM} "--help" main)
string(TOUPPER "${NAME}" title)
set(page ".TH ${title} 1 \"\" \"Tesserix\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
string(APPEND page ".SH DESCRIPTION\n")
tx_roff_block("${main}" block)
string(APPEND page "${block}")

if(GROUPS)
  string(APPEND page ".SH COMMANDS\n")
  string(REGEX MATCHALL "\n  [a-z]+ " listed "${main}")
  foreach(entry ${listed})
    string(STRIP "${entry}" group)
    tx_help(${PROGRAM} "${group};--help" help)
    tx_roff_block("${help}" block)
    string(APPEND page ".SS ${group}\n${block}")
  endforeach()
endif()

string(APPEND page ".SH SEE ALSO\n")
if(NAME STREQUAL "tesserix")
  string(APPEND page "tesserix-cli(1)\n")
else()
  string(APPEND page "tesserix(1)\n")
endif()
file(WRITE "${OUT}" "${page}")
