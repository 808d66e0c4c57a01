# Writes a manual page from a program's --help text, so the two never disagree:
#   cmake -DPROGRAM=path -DNAME=velmora-cli -DSUMMARY="..." -DVERSION=3.3 -DOUTPUT=file.1 -P manpage.cmake
# The usage text becomes the SYNOPSIS and DESCRIPTION as preformatted text; roff's special
# characters are escaped.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help gave status ${status} and no text")
endif()
string(REPLACE "\\" "\\e" help "${help}")
# A line that starts with a dot or an apostrophe would be a roff request.
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" name "${NAME}")
file(WRITE ${OUTPUT}
".TH ${title} 1 \"\" \"velmora ${VERSION}\" \"User Commands\"\n"
".SH NAME\n"
"${name} \\- ${SUMMARY}\n"
".SH SYNOPSIS\n"
".nf\n"
"${help}"
".fi\n"
".SH SEE ALSO\n"
"velmora(1), velmora\\-cli(1), velmora\\-sim(1), avrdude(1), avr\\-objcopy(1), srec_cat(1)\n"
".SH COPYRIGHT\n"
"GPL\\-3.0\\-or\\-later. The README in /usr/share/doc/velmora describes the programs in full.\n")
