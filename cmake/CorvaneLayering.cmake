# Layering checks, called once every folder has been added.
#
# corvane_check_no_window_framework(<target>...): fails when a base library links the
# window framework (platform_win), directly or through any library it links; the engine
# and the portable tests link these libraries.
#
# corvane_check_no_dialog_libraries(<target>): fails when the target links a dialog or
# control library (the toolkit "ui", any "<module>_ui", "console_dialogs"). A program that
# shows only its own dialog (the engine) links the window framework and nothing of the
# other programs' dialogs.

# The first library matching `regex` that `target` links, directly or not; empty none.
function(_corvane_find_linked target regex out visited)
  set(${out} "" PARENT_SCOPE)
  if(NOT TARGET ${target})
    return()
  endif()
  get_target_property(libs ${target} LINK_LIBRARIES)
  get_target_property(ilibs ${target} INTERFACE_LINK_LIBRARIES)
  foreach(lib IN LISTS libs ilibs)
    if(lib MATCHES "${regex}")
      set(${out} ${lib} PARENT_SCOPE)
      return()
    endif()
    if(TARGET ${lib} AND NOT lib IN_LIST ${visited})
      list(APPEND ${visited} ${lib})
      _corvane_find_linked(${lib} "${regex}" found ${visited})
      if(found)
        set(${out} ${found} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
endfunction()

function(_corvane_check_not_linked regex what)
  foreach(target ${ARGN})
    if(NOT TARGET ${target})
      message(FATAL_ERROR "layering: ${target} is not a target")
    endif()
    set(seen "")
    _corvane_find_linked(${target} "${regex}" found seen)
    if(found)
      message(FATAL_ERROR "layering: ${target} links ${what} (${found})")
    endif()
  endforeach()
endfunction()

function(corvane_check_no_window_framework)
  _corvane_check_not_linked("^(platform_win|platform_winmain)$" "the window framework" ${ARGN})
endfunction()

function(corvane_check_no_dialog_libraries)
  _corvane_check_not_linked("^(ui|.*_ui|console_dialogs)$" "a dialog library" ${ARGN})
endfunction()
