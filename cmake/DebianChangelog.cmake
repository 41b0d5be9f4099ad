# cmake -DIN=CHANGELOG.md -DOUT=changelog -DSOURCE=kelvane -DMAINTAINER="Name <mail>" -P DebianChangelog.cmake
#
# Writes CHANGELOG.md in the form dpkg and lintian read a native package's
# /usr/share/doc/<package>/changelog.gz in: one entry per release, newest first,
#   kelvane (1.0.0) unstable; urgency=medium
#     * item
#    -- Maintainer <mail>  Wed, 09 Dec 2026 00:00:00 +0000
# Only the releases (`## [x.y.z] - yyyy-mm-dd`) are carried; the preamble and an
# Unreleased section are not. Within a release, `### Added` becomes `  Added:`,
# `- item` a `  * item` with its continuation lines under it, other text `  text`.

# RFC 2822 date of yyyy-mm-dd at midnight UTC; the weekday by Sakamoto's method.
function(kelvane_rfc2822 iso out)
  string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" ok "${iso}")
  if(NOT ok)
    message(FATAL_ERROR "${IN}: release date '${iso}' is not yyyy-mm-dd")
  endif()
  set(y ${CMAKE_MATCH_1})
  math(EXPR m "1${CMAKE_MATCH_2} - 100")  # the leading 1 keeps 08 and 09 decimal
  math(EXPR d "1${CMAKE_MATCH_3} - 100")
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR i "${m} - 1")
  list(GET month_offsets ${i} t)
  if(m LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR w "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${t} + ${d}) % 7")
  set(days Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET days ${w} day)
  list(GET months ${i} month)
  set(${out} "${day}, ${CMAKE_MATCH_3} ${month} ${CMAKE_MATCH_1} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

# Line by line through string(FIND), not a CMake list: the text may hold
# semicolons and brackets, which a list would split or glue.
file(READ ${IN} rest)
set(text "")
set(in_release FALSE)
set(trailer "")
while(NOT rest STREQUAL "")
  string(FIND "${rest}" "\n" eol)
  if(eol EQUAL -1)
    set(line "${rest}")
    set(rest "")
  else()
    string(SUBSTRING "${rest}" 0 ${eol} line)
    math(EXPR eol "${eol} + 1")
    string(SUBSTRING "${rest}" ${eol} -1 rest)
  endif()
  if(line MATCHES "^## ")
    string(APPEND text "${trailer}")
    set(trailer "")
    set(in_release FALSE)
    if(line MATCHES "^## \\[([0-9][^]]*)\\] - ([0-9-]+)")
      kelvane_rfc2822(${CMAKE_MATCH_2} date)
      string(APPEND text "${SOURCE} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
      set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
      set(in_release TRUE)
    endif()
  elseif(NOT in_release)
  elseif(line MATCHES "^### (.*)")
    string(APPEND text "\n  ${CMAKE_MATCH_1}:\n")
  elseif(line MATCHES "^- (.*)")
    string(APPEND text "  * ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  +(.*)")
    string(APPEND text "    ${CMAKE_MATCH_1}\n")
  elseif(line STREQUAL "")
  else()
    string(APPEND text "  ${line}\n")
  endif()
endwhile()
string(APPEND text "${trailer}")
string(REGEX REPLACE "\n\n$" "\n" text "${text}")
file(WRITE ${OUT} "${text}")
