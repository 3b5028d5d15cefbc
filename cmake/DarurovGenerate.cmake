# darurov_generate(TARGET target IDL_FILES file... [INCLUDE_DIRS dir...] [OPTIONS arg...]
#                  [OUTPUT_DIR dir])
#
# Runs kc on each IDL file to write OUTPUT_DIR/<stem>.xih (default: the current binary
# directory), adds the headers to `target` and OUTPUT_DIR to its include directories. kc
# writes a dependency file along with each header, so a change to any file the IDL includes
# runs kc again; a header whose text did not change keeps its time stamp, and what includes
# it is not rebuilt. OPTIONS are passed to kc as they are (-m NAME, -D NAME, -p PREFIX).
cmake_policy(PUSH)
cmake_policy(VERSION 3.20...3.25)  # CMP0116: Ninja reads the dependency files as written

function(darurov_generate)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;OUTPUT_DIR" "IDL_FILES;INCLUDE_DIRS;OPTIONS")
  if(NOT arg_TARGET OR NOT arg_IDL_FILES)
    message(FATAL_ERROR "darurov_generate: TARGET and IDL_FILES are required")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "darurov_generate: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  set(out_dir "${arg_OUTPUT_DIR}")
  if(NOT out_dir)
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  cmake_path(ABSOLUTE_PATH out_dir BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  set(include_args)
  foreach(dir IN LISTS arg_INCLUDE_DIRS)
    cmake_path(ABSOLUTE_PATH dir BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND include_args -I "${dir}")
  endforeach()
  set(headers)
  foreach(idl IN LISTS arg_IDL_FILES)
    cmake_path(ABSOLUTE_PATH idl BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}")
    cmake_path(GET idl STEM LAST_ONLY stem)
    set(header "${out_dir}/${stem}.xih")
    add_custom_command(
      OUTPUT "${header}"
      COMMAND darurov::kc -o "${out_dir}" -MD -MF "${header}.d" -MT "${header}"
              ${include_args} ${arg_OPTIONS} "${idl}"
      DEPENDS "${idl}" darurov::kc "$<TARGET_FILE:darurov::darurov>"
      DEPFILE "${header}.d"
      COMMENT "kc: writing ${stem}.xih"
      VERBATIM)
    list(APPEND headers "${header}")
  endforeach()
  target_sources(${arg_TARGET} PRIVATE ${headers})
  target_include_directories(${arg_TARGET} PRIVATE "${out_dir}")
endfunction()

cmake_policy(POP)
