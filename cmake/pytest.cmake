# The Python suites run under pytest, one ctest test per test file, so ctest
# keeps its labels, parallel jobs and resource locks. pytest comes from the
# system's python3-pytest, which belongs to /usr/bin/python3; an interpreter
# found first on PATH (a pyenv, a venv) may lack it.
set(qpk_python_candidates)
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  list(APPEND qpk_python_candidates ${Python3_EXECUTABLE})
endif()
list(APPEND qpk_python_candidates /usr/bin/python3)
set(QPK_PYTEST_PYTHON "")
foreach(candidate ${qpk_python_candidates})
  # An empty folder left of a package imports as a namespace: ask for what is used.
  execute_process(COMMAND ${candidate} -c "import pytest, pexpect; pytest.main, pexpect.spawn"
                  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
  if(missing EQUAL 0)
    set(QPK_PYTEST_PYTHON ${candidate})
    break()
  endif()
endforeach()

# Work folders lie in a short folder of /tmp named after the build tree, so
# that no test's paths grow with the checkout's: under Wine the programs see
# them as Z:\..., held to 255 characters, and crafted archives carry absolute
# names into them in 128-byte fields. The `clean` target removes the folder;
# the fixture `work` removes it when a run leaves it empty.
string(SHA1 qpk_tree_id ${CMAKE_BINARY_DIR})
string(SUBSTRING ${qpk_tree_id} 0 8 qpk_tree_id)
set(QPK_TEST_WORK /tmp/qpk-${qpk_tree_id})
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${QPK_TEST_WORK})

# qpk_add_pytest(<label> FILES <test_*.py>... [ARGS <arg>...] [TIMEOUT <s>]
#                [RESOURCE_LOCK <lock>...] [LABELS <extra label>...])
# Adds <label>.<file stem> for each file. Every run gets the programs under
# test, a work folder of its own and, on Windows builds, the Wine wrapper and
# prefix (tests/conftest.py defines the options). Without pytest and pexpect
# each is a test that fails saying so.
function(qpk_add_pytest label)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "FILES;ARGS;RESOURCE_LOCK;LABELS")
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  set(wine)
  if(WIN32)
    set(wine --wine-run ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
  foreach(file ${arg_FILES})
    get_filename_component(stem ${file} NAME_WE)
    string(REGEX REPLACE "^test_" "" stem ${stem})
    set(name ${label}.${stem})
    if(NOT QPK_PYTEST_PYTHON)
      qpk_missing_tool_test(${name} "pytest/pexpect missing: install python3-pytest python3-pexpect \
(scripts/install-deps.sh --tests), then configure again" LABELS ${label} ${arg_LABELS})
      continue()
    endif()
    add_test(NAME ${name}
             COMMAND ${QPK_PYTEST_PYTHON} -m pytest -c ${CMAKE_SOURCE_DIR}/tests/pytest.ini
                     --rootdir ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR}/${file}
                     --program ${QPK2EXE_PROGRAM} --qpk $<TARGET_FILE:qpk>
                     --platform ${QPK_PLATFORM} --work ${QPK_TEST_WORK}/${name}
                     ${wine} ${arg_ARGS})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "platform;work" TIMEOUT ${arg_TIMEOUT}
                         LABELS "${label};${arg_LABELS}" ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
    if(arg_RESOURCE_LOCK)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${arg_RESOURCE_LOCK}")
    endif()
  endforeach()
endfunction()
