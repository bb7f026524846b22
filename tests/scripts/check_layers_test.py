"""The layer check on small trees made for each case: every bad include of the table
fails the check, each good one passes."""
import importlib.util
import pathlib
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers.py"
_found = importlib.util.spec_from_file_location("check_layers", SCRIPT)
check_layers = importlib.util.module_from_spec(_found)
_found.loader.exec_module(check_layers)

# (name, file, include line): each must be reported.
BAD = [
    ("core includes the shell from a .cc file", "index/x.cc", '#include "shell/mainframe.h"'),
    ("core includes the shell from a .hpp file", "textstore/x.hpp", '#include "shell/bookview.h"'),
    ("encoding includes textstore", "encoding/utf.cpp", '#include "textstore/filelist.h"'),
    ("textstore includes index", "textstore/kwic.cpp", '#include "index/index.h"'),
    ("index includes builder", "index/index.cpp", '#include "builder/databuilder.h"'),
    ("builder includes panel", "builder/x.cpp", '#include "panel/searchcommand.h"'),
    ("panel includes gui", "panel/x.cpp", '#include "gui/profile.h"'),
    ("panel includes panelui", "panel/panellogic.cpp", '#include "panelui/leftform.h"'),
    ("gui includes panel", "gui/x.cpp", '#include "panel/export.h"'),
    ("gui includes panelui", "gui/x.h", '#include "panelui/leftform.h"'),
    ("panelui includes shell", "panelui/leftform.cpp", '#include "shell/mainframe.h"'),
    ("tools include gui", "tools/cmd.cpp", '#include "gui/qtstrings.h"'),
    ("a header without its folder", "panel/x.cpp", '#include "catalog.h"'),
    ("core includes a Qt class header", "index/x.cxx", "#include <QString>"),
    ("core includes Qt's lower-case header", "encoding/x.h", "#include <qglobal.h>"),
    ("core includes a Qt module path", "builder/x.cpp", "#include <QtCore/qstring.h>"),
    ("panel logic includes a Qt header quoted", "panel/x.cpp", '#include "qobject.h"'),
    ("tools include Qt", "tools/x.cpp", "#include <QCoreApplication>"),
    ("spaced include directive", "textstore/x.h", '  #  include "shell/x.h"'),
]

# (name, file, include line): each must pass.
GOOD = [
    ("core includes the standard library", "index/x.cpp", "#include <queue>"),
    ("core includes lower layers", "builder/x.cpp", '#include "encoding/utf.h"'),
    ("panel includes the core", "panel/x.cpp", '#include "textstore/catalog.h"'),
    ("panelui includes panel and gui", "panelui/x.cpp", '#include "panel/history.h"'),
    ("shell includes everything below", "shell/x.cpp", '#include "panelui/leftform.h"'),
    ("gui includes Qt", "gui/x.cpp", "#include <QWidget>"),
    ("tools include the panel logic", "tools/x.cpp", '#include "panel/kwicrows.h"'),
    ("a moc file", "shell/x.cpp", '#include "x.moc"'),
    ("outside the layers", "tests/x.cpp", '#include "shell/mainframe.h"'),
]


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        # A Qt include folder of our own: the check knows Qt's headers by what it holds.
        self.qt = pathlib.Path(self.tmp.name) / "qt6"
        for module, names in {"QtCore": ["QString", "qglobal.h", "qobject.h", "qstring.h"],
                              "QtWidgets": ["QWidget"]}.items():
            (self.qt / module).mkdir(parents=True)
            for name in names:
                (self.qt / module / name).write_text("")

    def faults_of(self, file, line):
        """The faults of a tree holding file alone, with line in it."""
        with tempfile.TemporaryDirectory() as tree:
            path = pathlib.Path(tree) / file
            path.parent.mkdir(parents=True)
            path.write_text(line + "\n")
            return check_layers.check(pathlib.Path(tree), check_layers.QtHeaders([self.qt]))

    def test_each_bad_include_fails(self):
        for name, file, line in BAD:
            with self.subTest(name):
                faults = self.faults_of(file, line)
                self.assertEqual(len(faults), 1, faults)
                self.assertTrue(faults[0].startswith(f"{file}:1:"), faults[0])

    def test_each_good_include_passes(self):
        for name, file, line in GOOD:
            with self.subTest(name):
                self.assertEqual(self.faults_of(file, line), [])

    def test_main_exits_1_on_a_fault_and_0_on_a_clean_tree(self):
        root = pathlib.Path(self.tmp.name) / "tree"
        (root / "index").mkdir(parents=True)
        bad = root / "index" / "x.cc"
        bad.write_text('#include "shell/x.h"\n')
        qt = ["--qt-headers", str(self.qt)]
        self.assertEqual(check_layers.main([str(root)] + qt), 1)
        bad.write_text('#include "encoding/utf.h"\n')
        self.assertEqual(check_layers.main([str(root)] + qt), 0)

    def test_the_repository_passes(self):
        self.assertEqual(check_layers.main([]), 0)


if __name__ == "__main__":
    unittest.main()
