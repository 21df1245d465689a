# Compiles a scratch copy of one of a floor's sources with that floor's own
# include path: as it is (it must compile), then with an include of a floor
# it does not link added at its top (it must not).
# Usage: cmake -DCXX=... -DINCLUDES=a|b|... -DSOURCE=file.cpp -DFORBIDDEN=x/y.h
#          -DSCRATCH=dir -P layering_check.cmake
string(REPLACE "|" ";" includes "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(dir ${includes})
  list(APPEND flags "-I${dir}")
endforeach()
file(MAKE_DIRECTORY ${SCRATCH})
get_filename_component(name ${SOURCE} NAME)
file(READ ${SOURCE} text)

file(WRITE ${SCRATCH}/${name} "${text}")
execute_process(COMMAND ${CXX} ${flags} ${SCRATCH}/${name} RESULT_VARIABLE plain
  ERROR_VARIABLE plain_errors)
if(NOT plain EQUAL 0)
  message(FATAL_ERROR "${SOURCE} does not compile with its floor's include path:\n${plain_errors}")
endif()

file(WRITE ${SCRATCH}/${name} "#include \"${FORBIDDEN}\"\n${text}")
execute_process(COMMAND ${CXX} ${flags} ${SCRATCH}/${name} RESULT_VARIABLE upward
  ERROR_VARIABLE upward_errors)
if(upward EQUAL 0)
  message(FATAL_ERROR "${SOURCE} compiles with #include \"${FORBIDDEN}\" added")
endif()
if(NOT upward_errors MATCHES "${FORBIDDEN}")
  message(FATAL_ERROR "${SOURCE} with ${FORBIDDEN} failed for another reason:\n${upward_errors}")
endif()
message(STATUS "${SOURCE}: ${FORBIDDEN} is out of reach")
