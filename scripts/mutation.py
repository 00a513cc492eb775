#!/usr/bin/env python3
"""Mutation testing for the player, veltra-sim and svfplay (src/, sim/, tools/).

  generate  draw a seeded sample of single-point mutants and write the list
  run       build each mutant (release, no sanitizers) in a private copy of the
            tree and run the GoogleTest programs against it
  report    score, survivors, kills per test case and a greedy minimal cover

A mutant is addressed by its line text and the lines around it, not only by
its line number, so a committed list keeps working across unrelated edits.
The working tree is never modified: mutants are applied to a copy under the
work folder (build/mutation by default), which is re-synchronised at start.
Standard library only.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SOURCE_DIRS = ("src", "sim", "tools")
SOURCE_SUFFIXES = (".cpp", ".cc", ".c", ".h", ".hpp")
DEFAULT_WORK = ROOT / "build" / "mutation"
BUILD_PRESET = "native-release"
DEFAULT_HOLDOUT_PERCENT = 50
# A program may take this many times its unmutated duration before it counts
# as hanging, but never less than the floor.
TIMEOUT_FACTOR = 5
TIMEOUT_FLOOR_SECONDS = 10.0
BUILD_TIMEOUT_SECONDS = 1800
BASELINE_TIMEOUT_SECONDS = 600
# Changes here do not change the build or the tests, so results stay valid.
UNBUILT_FOLDERS = {"docs", "scripts"}
# After a crash or hang the rest of that program is run again without the
# cases already decided, so later killers are still found; bounded.
MAX_RERUNS = 5

KINDS = ("relational", "arithmetic", "logical", "bitwise", "constant", "status",
         "call", "string", "format")

# ----------------------------------------------------------------- lexing

OPERATORS = sorted("""
>>= <<= <=> ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*
+ - * / % < > = ! ~ & | ^ ? : ; , . ( ) [ ] { } #
""".split(), key=len, reverse=True)
KEYWORDS_NOT_CALLS = {
    "return", "if", "while", "for", "switch", "delete", "throw", "sizeof", "new",
    "static_assert", "case", "goto", "do", "else", "co_return", "co_await", "alignof",
    "decltype", "typeid", "using", "typedef", "template", "namespace", "const", "auto",
    "static", "constexpr", "operator", "catch", "try", "default",
}
# Arguments of these are compile-time only or attributes; mutating them either
# breaks the build or changes nothing observable.
PROTECTED_PREFIXES = {"static_assert", "_Static_assert", "__attribute__", "alignas",
                      "decltype", "sizeof", "alignof", "asm", "__asm__", "noexcept"}

IDENT_RE = re.compile(r"[A-Za-z_][A-Za-z_0-9]*")
NUMBER_RE = re.compile(r"\.?[0-9](?:[eEpP][+-]|['A-Za-z0-9_.])*")
INTEGER_RE = re.compile(
    r"^(?P<body>0[xX][0-9A-Fa-f']+|0[bB][01']+|[0-9][0-9']*)(?P<suffix>[uUlLzZ]*)$")
STRING_PREFIX_RE = re.compile(r'(u8|u|U|L)?(R)?"')
FORMAT_SPEC_RE = re.compile(
    r"%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|j|z|t|L)?[diouxXeEfFgGaAcspn%]")
ESCAPE_RE = re.compile(r"\\(?:x[0-9A-Fa-f]+|[0-7]{1,3}|u[0-9A-Fa-f]{4}|U[0-9A-Fa-f]{8}|.)")


class Token:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, kind, text, start, end):
        self.kind, self.text, self.start, self.end = kind, text, start, end

    def __repr__(self):
        return f"Token({self.kind}, {self.text!r}, {self.start})"


def tokenize(text):
    """C/C++ tokens; comments and preprocessor lines are dropped."""
    tokens = []
    i, n = 0, len(text)
    line_start = True  # only whitespace since the last newline
    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            i = n if j < 0 else j + 2
            continue
        if c == "#" and line_start:
            # Preprocessor line, with continuations.
            while i < n:
                j = text.find("\n", i)
                if j < 0:
                    i = n
                    break
                if text[j - 1] == "\\":
                    i = j + 1
                    continue
                i = j
                break
            continue
        line_start = False
        m = STRING_PREFIX_RE.match(text, i)
        if m and (m.start() == i) and (m.group(1) or m.group(2) or c == '"'):
            j = m.end()
            if m.group(2):
                close = text.index("(", j)
                delimiter = ")" + text[j:close] + '"'
                j = text.index(delimiter, close) + len(delimiter)
                tokens.append(Token("rawstring", text[i:j], i, j))
            else:
                while text[j] != '"':
                    j += 2 if text[j] == "\\" else 1
                j += 1
                tokens.append(Token("string", text[i:j], i, j))
            i = j
            continue
        if c == "'" or (c in "uUL" and text.startswith("'", i + 1)) or text.startswith("u8'", i):
            j = text.index("'", i) + 1
            while text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            j += 1
            tokens.append(Token("char", text[i:j], i, j))
            i = j
            continue
        m = IDENT_RE.match(text, i)
        if m:
            tokens.append(Token("ident", m.group(), i, m.end()))
            i = m.end()
            continue
        m = NUMBER_RE.match(text, i)
        if m:
            tokens.append(Token("number", m.group(), i, m.end()))
            i = m.end()
            continue
        for op in OPERATORS:
            if text.startswith(op, i):
                tokens.append(Token("op", op, i, i + len(op)))
                i += len(op)
                break
        else:
            tokens.append(Token("other", c, i, i + 1))
            i += 1
    return tokens


# ------------------------------------------------------- finding mutations

RELATIONAL = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="], ">=": [">", "<"],
              "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["*"],
              "+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="], "++": ["--"],
              "--": ["++"]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
BITWISE = {"&": ["|"], "|": ["&"], "^": ["|"], "&=": ["|="], "|=": ["&="],
           "<<": [">>"], ">>": ["<<"]}
# Names that suggest a stream on the left of << or >>: those are not shifts.
STREAM_NAME_RE = re.compile(r"stream|out|cerr|cout|cin|text|^os$|^ss$|log", re.I)
OPERAND_END_KINDS = {"ident", "number", "string", "char", "rawstring"}


def status_groups(root):
    """Names a function may return as its status, grouped by vocabulary."""
    groups = []
    status_h = root / "src" / "status.h"
    if status_h.exists():
        names = re.findall(r"inline constexpr Status (k\w+)", status_h.read_text())
        if names:
            groups.append(names)
    header = root / "include" / "svfplayer" / "svf_player.h"
    if header.exists():
        text = header.read_text()
        groups.append([n for n in ("VELTRA_OK", "VELTRA_FAILED", "VELTRA_NOT_SUPPORTED")
                       if f"#define {n} " in text])
        groups.append(re.findall(r"#define (SVF_RETURN_\w+)", text))
    exits = set()
    for path in sorted((root / "tools").rglob("*")):
        if path.suffix in SOURCE_SUFFIXES:
            exits.update(re.findall(r"constexpr int (kExit\w+)", path.read_text()))
    if exits:
        groups.append(sorted(exits))
    return [g for g in groups if len(g) > 1]


def _protected_ranges(tokens):
    """Token index ranges that must not be mutated (attributes, compile-time)."""
    ranges = []
    for i, tok in enumerate(tokens):
        opener = None
        if tok.kind == "ident" and tok.text in PROTECTED_PREFIXES:
            opener = i + 1
        elif tok.text == "[" and i + 1 < len(tokens) and tokens[i + 1].text == "[":
            opener = i
        elif tok.text == "case":
            # Up to the colon: changed case labels may collide.
            j = i
            while j < len(tokens) and tokens[j].text != ":":
                j += 1
            ranges.append((i, j))
            continue
        elif tok.text == "extern" and i + 1 < len(tokens) and tokens[i + 1].kind == "string":
            ranges.append((i, i + 1))
            continue
        if opener is None or opener >= len(tokens) or tokens[opener].text not in "([":
            continue
        depth, j = 0, opener
        while j < len(tokens):
            if tokens[j].text in ("(", "["):
                depth += 1
            elif tokens[j].text in (")", "]"):
                depth -= 1
                if depth == 0:
                    break
            j += 1
        ranges.append((i, j))
    protected = set()
    for a, b in ranges:
        protected.update(range(a, b + 1))
    return protected


def _spaced(text, tok):
    """Binary operators are written with a blank on each side in this code base;
    template brackets, unary operators and declarators are not."""
    return (tok.start > 0 and text[tok.start - 1] in " \t\n" and tok.end < len(text)
            and text[tok.end] in " \t\n")


def _is_array_size_declaration(tokens, i):
    """`char buffer[32];`: the size of a buffer, changing it is rarely observable."""
    return (i >= 2 and tokens[i - 1].text == "[" and i + 1 < len(tokens)
            and tokens[i + 1].text == "]" and tokens[i - 2].kind == "ident"
            and i >= 3 and tokens[i - 3].kind == "ident")


def _mutate_integer(literal):
    m = INTEGER_RE.match(literal)
    if not m:
        return None
    body, suffix = m.group("body").replace("'", ""), m.group("suffix")
    if body[:2] in ("0x", "0X"):
        value, fmt = int(body, 16), lambda v: body[:2] + (f"{v:X}" if body[2:].isupper() or
                                                          body[2:].isdigit() else f"{v:x}")
    elif body[:2] in ("0b", "0B"):
        value, fmt = int(body[2:], 2), lambda v: body[:2] + f"{v:b}"
    elif len(body) > 1 and body.startswith("0"):
        value, fmt = int(body, 8), lambda v: f"0{v:o}"
    else:
        value, fmt = int(body), str
    new = 0 if value == 1 else value + 1
    return fmt(new) + suffix


def _string_options(literal):
    """One-character changes inside a string literal, sparing escapes and
    printf conversions (those would only break the build)."""
    quote = literal.index('"')
    content_start, content_end = quote + 1, len(literal) - 1
    content = literal[content_start:content_end]
    spared = set()
    for rx in (ESCAPE_RE, FORMAT_SPEC_RE):
        for m in rx.finditer(content):
            spared.update(range(m.start(), m.end()))
    options = []
    for k, ch in enumerate(content):
        if k in spared or not (" " <= ch <= "~"):
            continue
        if ch.isalpha():
            new = ch.swapcase()
        elif ch.isdigit():
            new = str((int(ch) + 1) % 10)
        elif ch == " ":
            new = "_"
        else:
            new = "#" if ch != "#" else "_"
        p = content_start + k
        options.append(literal[:p] + new + literal[p + 1:])
    return options


def find_sites(text, statuses, player=True):
    """All mutation sites of one file: (kind, start, end, original, [replacements])."""
    tokens = tokenize(text)
    protected = _protected_ranges(tokens)
    status_of = {name: group for group in statuses for name in group}
    sites = []

    def add(kind, start, end, options):
        options = [o for o in options if o != text[start:end]]
        if options:
            sites.append((kind, start, end, text[start:end], options))

    depth = 0  # parenthesis depth, for statement starts
    for i, tok in enumerate(tokens):
        prev = tokens[i - 1] if i > 0 else None
        nxt = tokens[i + 1] if i + 1 < len(tokens) else None
        if tok.text == "(":
            depth += 1
        elif tok.text == ")":
            depth = max(0, depth - 1)
        if i in protected:
            continue
        if prev is not None and prev.text == "operator":
            continue
        t = tok.text
        if tok.kind == "op":
            if t in RELATIONAL and _spaced(text, tok):
                add("relational", tok.start, tok.end, RELATIONAL[t])
            elif t in ("++", "--"):
                add("arithmetic", tok.start, tok.end, ARITHMETIC[t])
            elif t in ARITHMETIC and _spaced(text, tok):
                near_string = any(x is not None and x.kind in ("string", "rawstring")
                                  for x in (prev, nxt))
                if not (t in ("+", "+=") and near_string):
                    add("arithmetic", tok.start, tok.end, ARITHMETIC[t])
            elif t in LOGICAL and _spaced(text, tok):
                add("logical", tok.start, tok.end, LOGICAL[t])
            elif t == "!" and nxt is not None and nxt.text != "=":
                add("logical", tok.start, tok.end, [""])
            elif t in BITWISE and _spaced(text, tok):
                if t in ("<<", ">>"):
                    if any(x is None or x.kind in ("string", "char", "rawstring") or
                           (x.kind == "ident" and STREAM_NAME_RE.search(x.text))
                           for x in (prev, nxt)):
                        continue
                add("bitwise", tok.start, tok.end, BITWISE[t])
        elif tok.kind == "ident":
            if t in ("true", "false"):
                add("logical", tok.start, tok.end, ["false" if t == "true" else "true"])
            elif t == "return" and nxt is not None and i + 2 < len(tokens) and \
                    tokens[i + 2].text == ";" and nxt.kind == "ident":
                group = status_of.get(nxt.text)
                if group is not None:
                    add("status", nxt.start, nxt.end,
                        [group[0]] if nxt.text != group[0] else group[1:])
                elif nxt.text == "status" and player and "kOk" in status_of:
                    add("status", nxt.start, nxt.end, ["kOk"])
            elif depth == 0 and t not in KEYWORDS_NOT_CALLS and prev is not None:
                _maybe_call_site(text, tokens, i, add)
        elif tok.kind == "number":
            if not _is_array_size_declaration(tokens, i):
                new = _mutate_integer(t)
                if new is not None:
                    add("constant", tok.start, tok.end, [new])
        elif tok.kind == "string":
            options = _string_options(t)
            kind = "format" if FORMAT_SPEC_RE.search(t) else "string"
            add(kind, tok.start, tok.end, options)
    return sites


def _maybe_call_site(text, tokens, i, add):
    """A whole statement that is one call, e.g. `stream.Flush(x);` or
    `platform::Sleep(t);`: deleting it is the mutation."""
    prev = tokens[i - 1]
    if_body = False
    if prev.text == ")":
        # Body of if/for/while without braces: keep a statement there.
        depth, j = 0, i - 1
        while j >= 0:
            if tokens[j].text == ")":
                depth += 1
            elif tokens[j].text == "(":
                depth -= 1
                if depth == 0:
                    break
            j -= 1
        if j <= 0 or tokens[j - 1].text not in ("if", "for", "while"):
            return
        if_body = True
    elif prev.text == "else":
        if_body = True
    elif prev.text not in (";", "{", "}"):
        return
    j = i
    while True:
        if tokens[j].kind != "ident":
            return
        j += 1
        if j < len(tokens) and tokens[j].text in ("::", ".", "->"):
            j += 1
            continue
        break
    if j >= len(tokens) or tokens[j].text != "(":
        return
    depth = 0
    while j < len(tokens):
        if tokens[j].text == "(":
            depth += 1
        elif tokens[j].text == ")":
            depth -= 1
            if depth == 0:
                break
        elif depth == 1 and tokens[j].kind == "ident" and tokens[j - 1].kind == "ident":
            return  # `Type name` inside: a declaration, not a call
        j += 1
    if j + 1 >= len(tokens) or tokens[j + 1].text != ";":
        return
    if _leaves_something_unused(tokens, i, j + 1):
        return
    start, end = tokens[i].start, tokens[j + 1].end
    add("call", start, end, ["{}" if if_body else ""])


def _function_range(tokens, i):
    """Token range of the function (or lambda) body around token i, with its
    header; None at namespace or class level."""
    depth, k, body = 0, i - 1, None
    while k >= 0:
        t = tokens[k].text
        if t == "}":
            depth += 1
        elif t == "{":
            if depth == 0:
                m = k - 1
                while m >= 0 and tokens[m].text in ("const", "noexcept", "override", "final",
                                                    "mutable"):
                    m -= 1
                if m >= 0 and tokens[m].text == ")":
                    body = k  # keep going: the outermost such brace wins
            else:
                depth -= 1
        k -= 1
    if body is None:
        return None
    lo = body
    paren = 0
    while lo > 0:
        t = tokens[lo - 1].text
        if t == ")":
            paren += 1
        elif t == "(":
            paren -= 1
        elif paren == 0 and t in (";", "{", "}"):
            break
        lo -= 1
    depth, hi = 0, body
    while hi < len(tokens):
        if tokens[hi].text == "{":
            depth += 1
        elif tokens[hi].text == "}":
            depth -= 1
            if depth == 0:
                break
        hi += 1
    return lo, hi


def _leaves_something_unused(tokens, first, last):
    """Deleting tokens[first..last] would leave a parameter, a local or a
    file-local function without a use; with warnings as errors that does not
    build. A name that occurs exactly once elsewhere is only declared there."""
    # Plain names only: not namespaces, classes or members.
    names = {tokens[k].text for k in range(first, last + 1) if tokens[k].kind == "ident"
             and tokens[k + 1].text != "::" and tokens[k - 1].text not in (".", "->", "::")}
    # A plain callee may be a file-local function with no other call.
    callee = {tokens[first].text} if tokens[first + 1].text == "(" else set()
    scope = _function_range(tokens, first)
    checks = ([(scope, names)] if scope else []) + [((0, len(tokens) - 1), callee)]
    for (lo, hi), wanted in checks:
        outside = {}
        for k in range(lo, hi + 1):
            if not first <= k <= last and tokens[k].kind == "ident":
                outside[tokens[k].text] = outside.get(tokens[k].text, 0) + 1
        if any(outside.get(n) == 1 for n in wanted):
            return True
    return False


# -------------------------------------------------------- mutant records

def source_files(root):
    files = []
    for folder in SOURCE_DIRS:
        base = root / folder
        if base.is_dir():
            files += [p for p in base.rglob("*") if p.is_file() and p.suffix in SOURCE_SUFFIXES]
    return sorted(files, key=lambda p: p.relative_to(root).as_posix())


def _neighbour(lines, index, step):
    j = index + step
    while 0 <= j < len(lines):
        if lines[j].strip():
            return lines[j].strip()
        j += step
    return ""


def _line_info(text, offset):
    line_start = text.rfind("\n", 0, offset) + 1
    line_no = text.count("\n", 0, offset) + 1
    return line_no, offset - line_start


def mutant_id(record):
    key = "\0".join(str(record[k]) for k in ("file", "line_text", "before", "column",
                                              "original", "mutated"))
    return "m" + hashlib.sha256(key.encode()).hexdigest()[:8]


def subset_of(identifier, holdout_percent):
    bucket = int(hashlib.sha256(("split:" + identifier).encode()).hexdigest()[:8], 16) % 100
    return "holdout" if bucket < holdout_percent else "train"


def make_record(root, path, text, lines, site, replacement):
    kind, start, end, original, _ = site
    line_no, column = _line_info(text, start)
    record = {
        "file": path.relative_to(root).as_posix(),
        "line": line_no,
        "column": column + 1,
        "kind": kind,
        "original": original,
        "mutated": replacement,
        "line_text": lines[line_no - 1],
        "before": _neighbour(lines, line_no - 1, -1),
        "after": _neighbour(lines, line_no - 1, +1),
    }
    record["id"] = mutant_id(record)
    return record


def all_sites(root, kinds=None, headers=True):
    statuses = status_groups(root)
    for path in source_files(root):
        if not headers and path.suffix in (".h", ".hpp"):
            continue
        text = path.read_text()
        player = path.relative_to(root).parts[0] == "src"
        for site in find_sites(text, statuses, player):
            if kinds is None or site[0] in kinds:
                yield path, text, site


def cmd_generate(args):
    root = Path(args.root).resolve()
    kinds = set(args.kinds.split(",")) if args.kinds else None
    if kinds and not kinds <= set(KINDS):
        sys.exit(f"unknown kinds: {sorted(kinds - set(KINDS))}")
    sites = list(all_sites(root, kinds, not args.skip_headers))
    rng = random.Random(args.seed)
    chosen = rng.sample(range(len(sites)), min(args.count, len(sites)))
    lines_cache, mutants, seen = {}, [], set()
    for index in chosen:
        path, text, site = sites[index]
        lines = lines_cache.setdefault(path, text.split("\n"))
        record = make_record(root, path, text, lines, site, rng.choice(site[4]))
        if record["id"] in seen:
            continue
        seen.add(record["id"])
        record["subset"] = subset_of(record["id"], args.holdout_percent)
        mutants.append(record)
    mutants.sort(key=lambda r: (r["file"], r["line"], r["column"]))
    ordered = [{k: r[k] for k in ("id", "subset", "kind", "file", "line", "column", "original",
                                  "mutated", "line_text", "before", "after")} for r in mutants]
    by_kind = {}
    for r in ordered:
        by_kind[r["kind"]] = by_kind.get(r["kind"], 0) + 1
    document = {
        "seed": args.seed,
        "count": len(ordered),
        "holdout_percent": args.holdout_percent,
        "kinds": sorted(kinds) if kinds else "all",
        "skip_headers": args.skip_headers,
        "candidates": len(sites),
        "mutants": ordered,
    }
    Path(args.out).write_text(json.dumps(document, indent=1) + "\n")
    print(f"{len(ordered)} mutants of {len(sites)} candidates written to {args.out}")
    print("  " + ", ".join(f"{k} {v}" for k, v in sorted(by_kind.items())))


def locate(tree, mutant):
    """Where the mutant's original text is in `tree` now: (path, offset) or None.
    Found by its line text (indentation aside) and neighbours; the recorded
    line number only breaks ties, and a moved file is found by name or content."""
    wanted = mutant["line_text"].strip()
    indent = len(mutant["line_text"]) - len(mutant["line_text"].lstrip())
    within = mutant["column"] - 1 - indent
    path = tree / mutant["file"]
    if path.exists():
        candidates = [path]
    else:
        name = Path(mutant["file"]).name
        files = source_files(tree)
        candidates = [p for p in files if p.name == name] or files
    best = None
    for candidate in candidates:
        text = candidate.read_bytes().decode()  # offsets as on disk, line ends kept
        lines = text.split("\n")
        offset = 0
        for index, line in enumerate(lines):
            if line.strip() == wanted:
                column = len(line) - len(line.lstrip()) + within
                start = offset + column
                if text.startswith(mutant["original"], start):
                    score = ((_neighbour(lines, index, -1) == mutant["before"]) +
                             (_neighbour(lines, index, +1) == mutant["after"]))
                    key = (-score, candidate != path, abs(index + 1 - mutant["line"]))
                    if best is None or key < best[0]:
                        best = (key, candidate, start)
            offset += len(line) + 1
    return None if best is None else (best[1], best[2])


def load_mutants(path):
    return json.loads(Path(path).read_text())["mutants"]


# ---------------------------------------------------------------- running

class Interrupted(Exception):
    pass


def _on_signal(signum, frame):
    raise Interrupted(f"signal {signum}")


def run_process(command, cwd, timeout, env=None):
    """(returncode or None on timeout, stdout+stderr, seconds). The whole
    process group is killed on timeout, so programs the test starts go too."""
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        code = process.returncode
    except BaseException as error:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        output, _ = process.communicate()
        code = None
        if not isinstance(error, subprocess.TimeoutExpired):
            raise
    return code, output.decode(errors="replace"), time.monotonic() - started


def tracked_files(root):
    output = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], cwd=root, check=True,
                            capture_output=True).stdout.decode()
    return sorted(f for f in output.split("\0") if f and (root / f).is_file())


def sync_tree(root, tree):
    """Make `tree` a copy of the working tree; files whose content already
    matches keep their time stamps, so the build there stays incremental.
    Returns a fingerprint of what the build and the tests depend on."""
    files = tracked_files(root)
    wanted = set(files)
    digest = hashlib.sha256()
    for name in files:
        source, target = root / name, tree / name
        data = source.read_bytes()
        if not name.endswith(".md") and name.split("/")[0] not in UNBUILT_FOLDERS:
            digest.update(name.encode() + b"\0" + hashlib.sha256(data).digest())
        if not target.exists() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)
    for path in sorted(tree.rglob("*"), reverse=True):
        relative = path.relative_to(tree).as_posix()
        if relative == "build" or relative.startswith("build/"):
            continue
        if path.is_file() and relative not in wanted:
            path.unlink()
    return digest.hexdigest()


def build_dir(tree):
    return tree / "build" / BUILD_PRESET


def configure(tree):
    if (build_dir(tree) / "build.ninja").exists():
        return
    command = ["cmake", "--preset", BUILD_PRESET, "-DSVF_BUILD_BENCH=OFF", "-DSVF_SANITIZE=OFF"]
    if shutil.which("ccache") and "CMAKE_CXX_COMPILER_LAUNCHER" not in os.environ:
        command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    code, output, _ = run_process(command, tree, BUILD_TIMEOUT_SECONDS)
    if code != 0:
        sys.exit("configure failed:\n" + output)


def build(tree, jobs):
    return run_process(["cmake", "--build", str(build_dir(tree)), "-j", str(jobs)], tree,
                       BUILD_TIMEOUT_SECONDS)


def test_programs(tree):
    binaries = build_dir(tree) / "bin"
    return sorted(p for p in binaries.glob("test_*") if p.is_file() and os.access(p, os.X_OK))


def binaries_digest(tree):
    """Fingerprint of what the build produced; unchanged means the mutant
    compiled to the same code and cannot be killed."""
    digest = hashlib.sha256()
    for path in sorted((build_dir(tree) / "bin").iterdir()):
        if path.is_file() and (os.access(path, os.X_OK) or ".so" in path.name):
            digest.update(path.name.encode() + b"\0" + path.read_bytes())
    return digest.hexdigest()


RUN_LINE_RE = re.compile(r"^\[ RUN      \] (\S+)", re.M)
END_LINE_RE = re.compile(r"^\[ {7}OK \] (\S+)|^\[  FAILED  \] (\S+) \(", re.M)


def run_program(program, cwd, timeout, only=None):
    """Runs one GoogleTest program. Returns (cases, failed, broken, seconds, note):
    every case that finished with its file:line, the failed cases, and the
    case running when the program crashed or hung."""
    report = cwd / f".{program.name}.{os.getpid()}.json"
    command = [str(program), f"--gtest_output=json:{report}"]
    if only is not None:
        command.append("--gtest_filter=" + ":".join(sorted(only)))
    if report.exists():
        report.unlink()
    code, output, seconds = run_process(command, cwd, timeout)
    cases, failed, broken, note = {}, set(), None, ""
    if code is not None and report.exists():
        try:
            document = json.loads(report.read_text())
        except ValueError:
            document = {}
        for suite in document.get("testsuites", []):
            for case in suite.get("testsuite", []):
                name = f"{suite['name']}.{case['name']}"
                cases[name] = f"{case.get('file', '')}:{case.get('line', '')}"
                if case.get("failures"):
                    failed.add(name)
    else:
        # No report: read what the program printed up to the crash or hang.
        finished = set()
        for m in END_LINE_RE.finditer(output):
            if m.group(2):
                failed.add(m.group(2))
            finished.add(m.group(1) or m.group(2))
        started = RUN_LINE_RE.findall(output)
        for name in started:
            cases[name] = ""
        unfinished = [n for n in started if n not in finished]
        broken = unfinished[-1] if unfinished else None
        note = "timeout" if code is None else f"exit {code}"
    if report.exists():
        report.unlink()
    if code not in (0, None) and not failed and broken is None:
        note = f"exit {code} without a failed case"
    return cases, failed, broken, seconds, note


def run_suite(program, cwd, timeout, known_cases):
    """All killing cases of one program, running it again after a crash or hang
    for the cases not yet reached. Returns (kills, notes, seconds)."""
    kills, notes, total, only = set(), [], 0.0, None
    for _ in range(MAX_RERUNS + 1):
        cases, failed, broken, seconds, note = run_program(program, cwd, timeout, only)
        total += seconds
        kills |= failed
        if note:
            notes.append(note if broken is None else f"{note} in {broken}")
        if broken is not None:
            kills.add(broken)
        elif note and not failed:
            kills.add("*")  # the program failed without naming a case
        if broken is None:
            break
        decided = set(cases) | failed | {broken}
        remaining = (set(known_cases) if only is None else only) - decided
        if not remaining:
            break
        only = remaining
    return {f"{program.name}:{k}" for k in kills}, notes, total


def run_tests(programs, cwd, timeouts, known, jobs, first_kill):
    kills, notes, seconds = set(), [], 0.0
    if first_kill or jobs <= 1:
        for program in programs:
            k, n, s = run_suite(program, cwd, timeouts[program.name], known[program.name])
            kills |= k
            notes += [f"{program.name}: {x}" for x in n]
            seconds += s
            if first_kill and k:
                break
        return kills, notes, seconds
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        futures = {pool.submit(run_suite, p, cwd, timeouts[p.name], known[p.name]): p
                   for p in programs}
        for future in concurrent.futures.as_completed(futures):
            k, n, s = future.result()
            kills |= k
            notes += [f"{futures[future].name}: {x}" for x in n]
            seconds += s
    return kills, notes, seconds


def save_json(path, document):
    temporary = path.with_suffix(".tmp")
    temporary.write_text(json.dumps(document, indent=1, sort_keys=True) + "\n")
    temporary.replace(path)


def baseline(tree, jobs, results):
    print("baseline: building the unmutated copy", flush=True)
    code, output, build_seconds = build(tree, jobs)
    if code != 0:
        sys.exit("the unmutated tree does not build:\n" + output[-4000:])
    programs = test_programs(tree)
    if not programs:
        sys.exit("no test programs (bin/test_*) were built")
    cwd = build_dir(tree) / "tests"
    cases, failing, durations = {}, [], {}

    def source_of(where):
        # The compiler saw paths relative to the build folder; show them from the root.
        path, _, line = where.rpartition(":")
        if path and not os.path.isabs(path):
            path = os.path.relpath(os.path.normpath(build_dir(tree) / path), tree)
        return f"{path}:{line}"

    for program in programs:
        found, failed, broken, seconds, note = run_program(program, cwd,
                                                           BASELINE_TIMEOUT_SECONDS)
        durations[program.name] = seconds
        for name, where in found.items():
            cases[f"{program.name}:{name}"] = source_of(where)
        failing += [f"{program.name}:{n}" for n in sorted(failed)]
        if broken or note:
            failing.append(f"{program.name}:{broken or '*'} ({note})")
        print(f"  {program.name}: {len(found)} cases, {seconds:.1f} s", flush=True)
    if failing:
        print("warning: these fail without any mutant and are not counted as kills:\n  " +
              "\n  ".join(failing), flush=True)
    results["baseline"] = {
        "build_seconds": round(build_seconds, 1),
        "durations": {k: round(v, 2) for k, v in durations.items()},
        "cases": cases,
        "failing": failing,
        "binaries": binaries_digest(tree),
    }


def cmd_run(args):
    root = Path(args.root).resolve()
    work = Path(args.work).resolve()
    tree = work / "tree"
    tree.mkdir(parents=True, exist_ok=True)
    results_path = Path(args.results) if args.results else work / "results.json"
    mutants = load_mutants(args.mutants)
    if args.subset:
        mutants = [m for m in mutants if m["subset"] == args.subset]
    if args.ids:
        wanted = set(args.ids.split(","))
        mutants = [m for m in mutants if m["id"] in wanted]
    results = json.loads(results_path.read_text()) if results_path.exists() else {}

    signal.signal(signal.SIGTERM, _on_signal)
    fingerprint = sync_tree(root, tree)
    if results.get("fingerprint") != fingerprint:
        if results:
            # Results of another tree are not comparable: keep them aside.
            kept = results_path.with_name(
                f"{results_path.stem}-{results['fingerprint'][:8]}{results_path.suffix}")
            results_path.replace(kept)
            print(f"the tree changed; earlier results moved to {kept}", flush=True)
        results = {"fingerprint": fingerprint, "mutants": {}}
    configure(tree)
    if "baseline" not in results:
        baseline(tree, args.jobs, results)
        save_json(results_path, results)
    base = results["baseline"]
    programs = test_programs(tree)
    cwd = build_dir(tree) / "tests"
    known, timeouts = {}, {}
    excluded = {f.split(" ")[0] for f in base["failing"]}
    for program in programs:
        prefix = program.name + ":"
        known[program.name] = {c[len(prefix):] for c in base["cases"] if c.startswith(prefix)}
        timeouts[program.name] = args.timeout or max(
            TIMEOUT_FLOOR_SECONDS, TIMEOUT_FACTOR * base["durations"].get(program.name, 0))

    todo = [m for m in mutants if args.rerun or m["id"] not in results["mutants"]]
    if args.limit:
        todo = todo[:args.limit]
    print(f"{len(todo)} mutants to run ({len(mutants) - len(todo)} already done)", flush=True)
    started = time.monotonic()
    for number, mutant in enumerate(todo, 1):
        entry = {"status": "stale"}
        where = locate(tree, mutant)
        if where is not None:
            path, offset = where
            original = path.read_bytes()
            text = original.decode()
            mutated = text[:offset] + mutant["mutated"] + text[offset + len(mutant["original"]):]
            try:
                path.write_text(mutated)
                entry = run_one(tree, args, programs, cwd, timeouts, known, excluded, base)
            finally:
                path.write_bytes(original)
            line = text.count("\n", 0, offset) + 1
            entry["at"] = f"{path.relative_to(tree).as_posix()}:{line}"
        results["mutants"][mutant["id"]] = entry
        save_json(results_path, results)
        elapsed = time.monotonic() - started
        killers = f" by {len(entry['kills'])} cases" if entry.get("kills") else ""
        print(f"[{number}/{len(todo)}] {mutant['id']} {mutant['kind']:10} "
              f"{mutant['file']}:{mutant['line']} {entry['status']}{killers}"
              f" (build {entry.get('build_seconds', 0):.0f} s, tests "
              f"{entry.get('test_seconds', 0):.0f} s; {elapsed / number:.0f} s per mutant so far)",
              flush=True)
    print(f"results: {results_path}")


def run_one(tree, args, programs, cwd, timeouts, known, excluded, base):
    code, output, build_seconds = build(tree, args.jobs)
    entry = {"build_seconds": round(build_seconds, 1)}
    if code != 0:
        errors = [line for line in output.splitlines() if "error:" in line]
        entry.update(status="invalid", note=(errors[0] if errors else output[-300:])[:300])
        return entry
    if binaries_digest(tree) == base["binaries"]:
        entry.update(status="equivalent", note="identical binaries")
        return entry
    kills, notes, test_seconds = run_tests(programs, cwd, timeouts, known, args.jobs,
                                           args.first_kill)
    kills = sorted(k for k in kills if k not in excluded)
    entry.update(status="killed" if kills else "survived", kills=kills,
                 test_seconds=round(test_seconds, 1))
    if notes:
        entry["notes"] = notes
    return entry


# -------------------------------------------------------------- reporting

EQUIVALENT_RE = re.compile(r"^\s*[-*]\s+`(m[0-9a-f]{8})`")


def declared_equivalents(path):
    if not path or not Path(path).exists():
        return set()
    return {m.group(1) for line in Path(path).read_text().splitlines()
            for m in [EQUIVALENT_RE.match(line)] if m}


def greedy_cover(kills_by_case, targets):
    """Test cases, picked greedily by new kills, that together kill `targets`."""
    left, cover = set(targets), []
    while left:
        best = max(sorted(kills_by_case), key=lambda c: len(kills_by_case[c] & left))
        gain = kills_by_case[best] & left
        if not gain:
            break
        cover.append((best, len(gain)))
        left -= gain
    return cover


def cmd_report(args):
    work = Path(args.work).resolve()
    results_path = Path(args.results) if args.results else work / "results.json"
    mutants = load_mutants(args.mutants)
    if args.subset:
        mutants = [m for m in mutants if m["subset"] == args.subset]
    results = json.loads(results_path.read_text()) if results_path.exists() else {}
    outcome = results.get("mutants", {})
    equivalents = declared_equivalents(args.equivalents)
    status = {}
    for m in mutants:
        s = outcome.get(m["id"], {}).get("status", "not run")
        if m["id"] in equivalents and s in ("survived", "killed"):
            s = "equivalent"
        status[m["id"]] = s
    count = {}
    for s in status.values():
        count[s] = count.get(s, 0) + 1
    killed, survived = count.get("killed", 0), count.get("survived", 0)
    valid = killed + survived
    score = 100.0 * killed / valid if valid else 0.0

    def breakdown(key):
        table = {}
        for m in mutants:
            if status[m["id"]] in ("killed", "survived"):
                k = key(m)
                row = table.setdefault(k, [0, 0])
                row[0] += status[m["id"]] == "killed"
                row[1] += 1
        return {k: {"killed": v[0], "valid": v[1]} for k, v in sorted(table.items())}

    cases = results.get("baseline", {}).get("cases", {})
    kills_by_case = {c: set() for c in cases}
    for m in mutants:
        if status[m["id"]] == "killed":
            for case in outcome[m["id"]].get("kills", []):
                kills_by_case.setdefault(case, set()).add(m["id"])
    killers_of = {}
    for case, ids in kills_by_case.items():
        for i in ids:
            killers_of.setdefault(i, []).append(case)
    sole = {}
    for i, killers in killers_of.items():
        if len(killers) == 1:
            sole.setdefault(killers[0], []).append(i)
    killed_ids = [m["id"] for m in mutants if status[m["id"]] == "killed"]
    cover = greedy_cover(kills_by_case, killed_ids)
    survivors = [m for m in mutants if status[m["id"]] == "survived"]
    by_file = {}
    for case, ids in kills_by_case.items():
        where = cases.get(case, "").rsplit(":", 1)[0] or case.split(":")[0]
        row = by_file.setdefault(where, [0, set()])
        row[0] += 1
        row[1] |= ids

    document = {
        "subset": args.subset or "all",
        "score_percent": round(score, 1),
        "counts": dict(sorted(count.items())),
        "by_kind": breakdown(lambda m: m["kind"]),
        "by_folder": breakdown(lambda m: "/".join(m["file"].split("/")[:-1][:2])),
        "survivors": [{k: m[k] for k in ("id", "file", "line", "kind", "original", "mutated",
                                         "line_text")} for m in survivors],
        "kills_by_case": {c: sorted(v) for c, v in sorted(kills_by_case.items())},
        "sole_killers": {c: sorted(v) for c, v in sorted(sole.items())},
        "cases_without_kills": sorted(c for c, v in kills_by_case.items() if not v),
        "kills_by_test_file": {f: {"cases": v[0], "mutants_killed": len(v[1])}
                               for f, v in sorted(by_file.items())},
        "greedy_cover": [{"case": c, "new_kills": g} for c, g in cover],
    }
    if args.json:
        Path(args.json).write_text(json.dumps(document, indent=1) + "\n")

    out = []
    out.append(f"Mutation score ({document['subset']}): {score:.1f}% "
               f"({killed} killed of {valid} valid)")
    out.append("  " + ", ".join(f"{v} {k}" for k, v in sorted(count.items())))
    out.append("By kind:   " + ", ".join(f"{k} {v['killed']}/{v['valid']}"
                                         for k, v in document["by_kind"].items()))
    out.append("By folder: " + ", ".join(f"{k} {v['killed']}/{v['valid']}"
                                         for k, v in document["by_folder"].items()))
    out.append(f"Survivors ({len(survivors)}):")
    for m in survivors:
        out.append(f"  {m['id']}  {m['file']}:{m['line']}  {m['kind']}: "
                   f"`{m['original']}` -> `{m['mutated']}`")
        out.append(f"      {m['line_text'].strip()}")
    nonzero = sum(1 for v in kills_by_case.values() if v)
    out.append(f"Test cases: {len(kills_by_case)}; {nonzero} kill at least one mutant, "
               f"{len(kills_by_case) - nonzero} kill none, {len(sole)} are the only killer "
               f"of some mutant")
    out.append(f"Greedy cover: {len(cover)} cases kill all {len(killed_ids)} killed mutants")
    for case, gain in cover:
        out.append(f"  +{gain:<3} {case}  {cases.get(case, '')}")
    out.append("Kills per test file (mutants killed, cases, file):")
    for where, v in sorted(by_file.items(), key=lambda kv: -len(kv[1][1])):
        out.append(f"  {len(v[1]):4} {v[0]:4}  {where}")
    text = "\n".join(out) + "\n"
    if args.summary:
        Path(args.summary).write_text(text)
    sys.stdout.write(text)


# ------------------------------------------------------------------- main

def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", default=str(ROOT), help="repository (default: this one)")
    parser.add_argument("--work", default=str(DEFAULT_WORK),
                        help="copy of the tree, its build and the results")
    sub = parser.add_subparsers(dest="command", required=True)

    g = sub.add_parser("generate", help="draw a sample of mutants")
    g.add_argument("--seed", type=int, required=True)
    g.add_argument("--count", type=int, required=True)
    g.add_argument("--out", required=True)
    g.add_argument("--holdout-percent", type=int, default=DEFAULT_HOLDOUT_PERCENT)
    g.add_argument("--kinds", help="comma-separated subset of: " + ",".join(KINDS))
    g.add_argument("--skip-headers", action="store_true",
                   help="no mutants in headers (each rebuilds everything including it)")

    r = sub.add_parser("run", help="build and test each mutant")
    r.add_argument("--mutants", required=True)
    r.add_argument("--subset", choices=("train", "holdout"))
    r.add_argument("--ids", help="comma-separated mutant ids")
    r.add_argument("--limit", type=int, help="run at most this many (not yet done) mutants")
    r.add_argument("--jobs", type=int, default=2, help="build jobs and test programs at once")
    r.add_argument("--timeout", type=float,
                   help="seconds per test program (default: 5x its unmutated time, >= 10 s)")
    r.add_argument("--first-kill", action="store_true",
                   help="stop testing a mutant at the first program that kills it")
    r.add_argument("--rerun", action="store_true", help="run mutants already in the results")
    r.add_argument("--results", help="results file (default: <work>/results.json)")

    p = sub.add_parser("report", help="summarise the results")
    p.add_argument("--mutants", required=True)
    p.add_argument("--subset", choices=("train", "holdout"))
    p.add_argument("--results", help="results file (default: <work>/results.json)")
    p.add_argument("--equivalents", default=str(ROOT / "README.md"),
                   help="file listing equivalent mutants as '- `mXXXXXXXX` why' lines")
    p.add_argument("--json", help="write the full report as JSON here")
    p.add_argument("--summary", help="write the readable summary here too")

    args = parser.parse_args(argv)
    try:
        {"generate": cmd_generate, "run": cmd_run, "report": cmd_report}[args.command](args)
    except (KeyboardInterrupt, Interrupted):
        sys.exit("interrupted; the working tree was not touched, the copy is restored")


if __name__ == "__main__":
    main()
