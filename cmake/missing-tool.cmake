# qpk_missing_tool_test(<name> <message> [LABELS <label>...]) adds a test that
# stands in for tests whose tool is missing: it fails with <message>, which
# says what to install, so that configuring never fails for want of a test tool.
function(qpk_missing_tool_test name message)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LABELS")
  add_test(NAME ${name} COMMAND sh -c "echo \"$1\" >&2; exit 1" missing-tool "${message}")
  set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}")
endfunction()
