# The minimal FIX's suite. The program loads the pair from bin/minifix/ by full
# path at run time, so it links neither library, only the loader.
fixdcs_add_test(minifix_test SOURCES standins/minifix_test.cpp LIBS ${CMAKE_DL_LIBS})
add_dependencies(minifix_test minifix)
