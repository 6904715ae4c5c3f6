"""Configuring needs none of the tests' tools: without GoogleTest a tree is
still configured, and its unit tests are one test that fails saying what to
install."""
import os
import subprocess

from shipped import fresh, run


def test_missing_googletest_fails_the_unit_tests_not_the_configure_step(build, cache):
    root = fresh(os.path.join(build.work, "no-googletest"))
    tree = os.path.join(root, "tree")
    run([cache["CMAKE_COMMAND"], "-S", cache["CMAKE_HOME_DIRECTORY"], "-B", tree, "-G", cache["CMAKE_GENERATOR"],
         "-DCMAKE_CXX_COMPILER=" + cache["CMAKE_CXX_COMPILER"], "-DQPK_GTEST_SOURCE_DIR=" + os.path.join(root, "none")])
    ctest = os.path.join(os.path.dirname(cache["CMAKE_COMMAND"]), "ctest")
    done = subprocess.run([ctest, "--test-dir", tree, "-L", "unit", "--output-on-failure"], capture_output=True,
                          text=True, timeout=600)
    assert done.returncode != 0, "a unit test run without GoogleTest cannot pass:\n" + done.stdout
    assert "GoogleTest missing" in done.stdout and "install googletest" in done.stdout, \
        "the failure says what is missing and what to install:\n" + done.stdout
