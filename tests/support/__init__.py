"""What the Python suites share: the file format's constants, crafted
archives, the sandbox the programs run in and the case reports its fixtures
read. tests/pytest.ini puts tests/ on the module path, so every test file
imports these as support.<module>."""
