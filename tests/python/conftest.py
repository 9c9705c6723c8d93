"""The module under test: the build given by QARNO_PYTHON_MODULE_DIR when it
is set, else the installed one."""

import os
import sys

_MODULE_DIR = os.environ.get("QARNO_PYTHON_MODULE_DIR")
if _MODULE_DIR:
    sys.path.insert(0, os.path.abspath(_MODULE_DIR))
