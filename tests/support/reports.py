"""Each case's reports kept on it, so that a fixture's teardown knows how the
case went: a passed case's folder goes, a failed one's stays for a look.
Loaded by tests/conftest.py for every suite."""
import pytest


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    result = yield
    report = result.get_result()
    setattr(item, "report_" + report.when, report)


def passed(node):
    report = getattr(node, "report_call", None)
    return report is not None and report.passed


def failed(node):
    report = getattr(node, "report_call", None)
    return report is not None and report.failed
