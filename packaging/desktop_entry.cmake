# The menu entry's Exec= value for a program at a full path, quoted and escaped so that
# desktop launchers run exactly that file whatever the install prefix holds: a home
# folder "John Smith", or a %, $, " or ` in a folder's name.
#
# Two layers of escaping apply to Exec=. As a command line, an argument holding any
# character outside a plain set is put in double quotes, inside which ", `, $ and \ take
# a backslash, and a literal % is written %%. As a string value of the file, every
# backslash is then doubled again, and a line break or tab becomes \n or \t.
#
# GLib looks for the first word of the command before it turns %% back into %, so it
# would not find a launcher whose path holds a %: such a launcher (a shell script) is
# run through /bin/sh, which takes the path as an ordinary argument.
function(luckyscope_desktop_exec out program)
  set(arg "${program}")
  if(NOT arg MATCHES "^[-A-Za-z0-9/._+,:@=]+$")
    string(REPLACE "\\" "\\\\" arg "${arg}")
    string(REPLACE "\"" "\\\"" arg "${arg}")
    string(REPLACE "`" "\\`" arg "${arg}")
    string(REPLACE "$" "\\$" arg "${arg}")
    set(arg "\"${arg}\"")
  endif()
  string(REPLACE "%" "%%" arg "${arg}")
  if(program MATCHES "%")
    set(arg "/bin/sh ${arg}")
  endif()
  string(REPLACE "\\" "\\\\" arg "${arg}")
  string(REPLACE "\n" "\\n" arg "${arg}")
  string(REPLACE "\t" "\\t" arg "${arg}")
  string(REPLACE "\r" "\\r" arg "${arg}")
  set(${out} "${arg}" PARENT_SCOPE)
endfunction()

# Writes the menu entry from its template for a launcher at a full path; the build does
# this at configure time, and the packaging checks run it as a script
# (cmake -DTEMPLATE=... -DOUTPUT=... -DLAUNCHER=... -DAPP_ID=... -P desktop_entry.cmake)
# to try install prefixes that the build was not configured for.
function(luckyscope_write_desktop_entry template output launcher app_id)
  luckyscope_desktop_exec(LUCKYSCOPE_LAUNCHER_EXEC "${launcher}")
  set(LUCKYSCOPE_APP_ID "${app_id}")
  configure_file("${template}" "${output}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  luckyscope_write_desktop_entry("${TEMPLATE}" "${OUTPUT}" "${LAUNCHER}" "${APP_ID}")
endif()
