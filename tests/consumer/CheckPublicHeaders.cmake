# The installed headers must be exactly ornith/ornith.h and the headers it reaches through
# its includes: a header installed beyond those is an internal one that a host could come
# to depend on, and one missing from them breaks every host. Stops the configuration
# with the list of both kinds.
get_target_property(include_dirs ornith::ornith INTERFACE_INCLUDE_DIRECTORIES)
set(include_root "")
foreach(dir ${include_dirs})
    if(EXISTS ${dir}/ornith/ornith.h)
        set(include_root ${dir})
    endif()
endforeach()
if(NOT include_root)
    message(FATAL_ERROR "ornith/ornith.h is not installed (looked in ${include_dirs})")
endif()

# Every header reached from the umbrella, by a walk over the includes it names.
set(reached "")
set(pending ornith/ornith.h)
while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST reached)
        continue()
    endif()
    list(APPEND reached ${header})
    if(NOT EXISTS ${include_root}/${header})
        continue()  # reported below as missing
    endif()
    file(STRINGS ${include_root}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]ornith/")
    foreach(line ${lines})
        string(REGEX REPLACE ".*[<\"](ornith/[^\">]+)[\">].*" "\\1" included "${line}")
        list(APPEND pending ${included})
    endforeach()
endwhile()

file(GLOB_RECURSE installed RELATIVE ${include_root} ${include_root}/ornith/*)
set(extra ${installed})
list(REMOVE_ITEM extra ${reached})
set(missing ${reached})
list(REMOVE_ITEM missing ${installed})
if(extra OR missing)
    list(JOIN extra "\n  " extra_text)
    list(JOIN missing "\n  " missing_text)
    message(FATAL_ERROR "installed headers differ from those ornith/ornith.h reaches\n"
        "installed but internal:\n  ${extra_text}\nreached but not installed:\n  ${missing_text}")
endif()
list(LENGTH installed count)
message(STATUS "ornith: ${count} public headers installed, all reached from ornith/ornith.h")
