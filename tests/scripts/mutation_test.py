"""scripts/mutation.py: which sites it mutates, and that a committed mutant is
found again after unrelated edits. Run: python3 -m unittest discover tests/scripts"""
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the script
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
import mutation  # noqa: E402

SOURCE = r'''#include <vector>
#define TWICE(a) \
  (a + 1)
// if (a < b) "comment"
int F(int a, int b, char* out) {
    std::vector<int> v;
    static_assert(sizeof(int) == 4);
    char buffer[32];
    switch (a) { case 1: return kSyntax; }
    if (a < b) Note(a);
    std::snprintf(out, 8, "%6ld : Note", 5L);
    return a != b && !out;
}
void G(int onlyHere) { Keep(onlyHere); }  // deleting the call leaves it unused
'''


class MutationTest(unittest.TestCase):
    def test_sites_skip_comments_preprocessor_templates_and_compile_time_code(self):
        sites = mutation.find_sites(SOURCE, [["kOk", "kSyntax"]])
        self.assertEqual([(s[0], s[3]) for s in sites], [
            ("status", "kSyntax"), ("relational", "<"), ("call", "Note(a);"),
            ("call", 'std::snprintf(out, 8, "%6ld : Note", 5L);'), ("constant", "8"),
            ("format", '"%6ld : Note"'), ("constant", "5L"), ("relational", "!="),
            ("logical", "&&"), ("logical", "!")])
        by_original = {s[3]: s[4] for s in sites}
        self.assertEqual(by_original["kSyntax"], ["kOk"])
        self.assertEqual(by_original["Note(a);"], ["{}"])  # an if body stays a statement
        # printf conversions are never touched: that would only break the build
        self.assertTrue(all("%6ld" in o for o in by_original['"%6ld : Note"']))

    def test_same_seed_same_mutants_and_found_again_after_edits_and_a_move(self):
        with tempfile.TemporaryDirectory() as folder:
            root = Path(folder)
            (root / "src" / "a").mkdir(parents=True)
            (root / "src" / "a" / "f.cpp").write_text(SOURCE)
            lists = []
            for _ in range(2):
                out = root / "m.json"
                mutation.main(["--root", folder, "generate", "--seed", "3", "--count", "4",
                               "--out", str(out)])
                lists.append(mutation.load_mutants(out))
            self.assertEqual(lists[0], lists[1])
            (root / "src" / "b").mkdir()
            (root / "src" / "b" / "f.cpp").write_text(
                "// moved and re-indented\n\n" + SOURCE.replace("\n    ", "\n      "))
            (root / "src" / "a" / "f.cpp").unlink()
            for mutant in lists[0]:
                path, offset = mutation.locate(root, mutant)
                self.assertEqual(path.parent.name, "b")
                self.assertTrue(path.read_text().startswith(mutant["original"], offset))


if __name__ == "__main__":
    unittest.main()
