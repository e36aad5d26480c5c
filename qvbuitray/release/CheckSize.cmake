# cmake -DPROGRAM=<file> -DBUDGET_FILE=<file> -P CheckSize.cmake: fails when the program is
# larger than the budget (the first line of the file that is a plain number).
file(SIZE "${PROGRAM}" size)
file(STRINGS "${BUDGET_FILE}" lines REGEX "^[0-9]+$")
list(GET lines 0 budget)
if(size GREATER budget)
  message(FATAL_ERROR "${PROGRAM}: ${size} bytes, over the budget of ${budget} bytes in ${BUDGET_FILE}")
endif()
message(STATUS "${PROGRAM}: ${size} bytes, budget ${budget} bytes")
