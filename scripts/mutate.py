#!/usr/bin/env python3
"""Generated mutants: a measure of the tests that does not know them.

Reads the C++ sources of src/ and tools/ that the configured (Linux) build compiles, finds in
their own tokens the places where a small fault can be planted (an operator swapped, a constant
moved, a negation dropped, a statement or a case label deleted, a substring offset moved), draws a
seeded sample spread over the files by their lines, and for each: plants it, builds only the test
programs that link the file, runs them (fastest and nearest first, stopping at the first failure)
and restores the file, on every path, also on Ctrl-C. Prints the survivors with file, line,
before -> after, and the score: killed / (built - excluded). Mutants that fail to compile are
counted apart. Mutants that cannot change behaviour are excluded by scripts/mutate-equivalent.txt.

  scripts/mutate.py BUILD_DIR [--seed N] [--count N] [--files REGEX] [--list] [--timeout S]
                              [--log FILE] [--again FILE]

BUILD_DIR is a built Ninja folder of your own (e.g. build/debug; its deps log tells which files
each object includes); linking with lld (-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld) makes each mutant
quicker. --list only prints the drawn mutants. --log writes one JSON line per mutant; --again
plants only the survivors of such a log (after new tests were written).
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EQUIVALENT_LIST = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")

# --- a C++ tokenizer: comments, strings, characters and preprocessor lines are never mutated ---

TOKEN = re.compile(
    r"""(?P<ws>[ \t\r\f\v]+|\n)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<raw>(?:u8|u|U|L)?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)")
  | (?P<string>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*')
  | (?P<number>\.?\d(?:[eEpP][+-]|[\w.']|)*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<punct>::|->|\.\.\.|<<=|>>=|<=>|<<|>>|<=|>=|==|!=|&&|\|\||\+\+|--|[-+*/%&|^]=
      |[{}()\[\];:,.?~!<>=+\-*/%&|^\#])
  | (?P<other>.)""",
    re.X | re.S,
)


class Tok:
    __slots__ = ("kind", "text", "start", "end", "line")

    def __init__(self, kind, text, start, end, line):
        self.kind, self.text, self.start, self.end, self.line = kind, text, start, end, line


def tokenize(src):
    toks, pos, line, at_line_start = [], 0, 1, True
    while pos < len(src):
        if at_line_start:
            m = re.match(r"[ \t]*#", src[pos:pos + 200])
            if m:  # a preprocessor line, with its continuations
                end = pos
                while True:
                    nl = src.find("\n", end)
                    if nl < 0:
                        end = len(src)
                        break
                    if src[nl - 1] != "\\":
                        end = nl
                        break
                    end = nl + 1
                line += src.count("\n", pos, end)
                pos = end
                continue
        m = TOKEN.match(src, pos)
        kind = m.lastgroup if m.lastgroup != "delim" else "raw"
        text = m.group(0)
        if kind == "ws":
            at_line_start = text == "\n"
            if at_line_start:
                line += 1
        else:
            if kind not in ("comment",):
                toks.append(Tok(kind, text, m.start(), m.end(), line))
            line += text.count("\n")
            at_line_start = False
        pos = m.end()
    return toks


# --- where a fault can be planted ---------------------------------------------------------------

RELATIONAL = {"<": ["<="], "<=": ["<"], ">": [">="], ">=": [">"], "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["/"], "+=": ["-="], "-=": ["+="],
              "*=": ["/="], "/=": ["*="]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
SUBSTRING_CALLS = {"substr", "mid", "left", "right", "sliced", "first", "last", "chopped"}
STATEMENT_KEYWORDS = {"return", "delete", "throw", "case", "default", "goto", "using", "typedef",
                      "break", "continue", "co_return", "static_assert", "emit", "Q_EMIT", "auto",
                      "const", "constexpr", "static", "int", "double", "bool", "char", "unsigned", "long",
                      "float", "void"}
ASSIGN = {"=", "+=", "-=", "*=", "/=", "|=", "&=", "^=", "%=", "<<=", ">>="}


class Mutant:
    def __init__(self, path, line, start, end, before, after, kind, repl):
        self.path, self.line, self.start, self.end = path, line, start, end
        self.before, self.after, self.kind, self.repl = before, after, kind, repl

    def label(self):
        return f"{self.path}:{self.line}: {self.before} -> {self.after}"


def spaced(src, tok):
    """A binary operator as clang-format writes it: blank on both sides (templates, pointers,
    references and unary operators are written without)."""
    return src[tok.start - 1:tok.start] in (" ", "\n") and src[tok.end:tok.end + 1] in (" ", "\n")


def number_variants(text):
    m = re.fullmatch(r"(0[xX][0-9a-fA-F']+|[0-9']+)([uUlL]*)", text)
    if m:
        digits, suffix = m.group(1).replace("'", ""), m.group(2)
        octal = len(digits) > 1 and digits[0] == "0" and digits[1] not in "xX"  # a file mode
        value = int(digits, 8 if octal else 0)
        values = {0: [1], 1: [0, 2]}.get(value, [value + 1, value - 1, value * 2])
        return [(f"0{v:o}" if octal else f"{v}") + suffix for v in values if v >= 0]
    m = re.fullmatch(r"((?:\d[\d']*)?\.?[\d']*(?:[eE][+-]?\d+)?)([fFlL]?)", text)
    if m and any(c.isdigit() for c in m.group(1)):
        value = float(m.group(1).replace("'", ""))
        suffix = m.group(2)
        values = {0.0: [1.0], 1.0: [0.0, 2.0]}.get(value, [value * 2, value / 2])
        return [repr(float(v)) + suffix for v in values]
    return []


def chain_end(toks, i):
    """End of a name chain (a, a.b, a->b[i], ns::f, this->x) starting at i, or i when none."""
    j = i
    if j < len(toks) and toks[j].text == "::":
        j += 1
    if j >= len(toks) or toks[j].kind != "ident":
        return i
    j += 1
    while j < len(toks):
        t = toks[j].text
        if t in (".", "->", "::") and j + 1 < len(toks) and toks[j + 1].kind == "ident":
            j += 2
        elif t == "[":
            depth, j = 1, j + 1
            while j < len(toks) and depth:
                depth += {"[": 1, "]": -1}.get(toks[j].text, 0)
                j += 1
        else:
            break
    return j


def statement_end(toks, i):
    """Index of the ';' that ends the statement starting at i (depth 0), or None."""
    depth = 0
    for j in range(i, len(toks)):
        t = toks[j].text
        if t in "([{" and toks[j].kind == "punct":
            depth += 1
        elif t in ")]}" and toks[j].kind == "punct":
            depth -= 1
            if depth < 0:
                return None
        elif t == ";" and depth == 0:
            return j
    return None


def find_mutants(path, src):
    toks = tokenize(src)
    found = []

    def add(a, b, before, after, kind, line, repl=None):
        found.append(Mutant(path, line, a, b, before, after, kind, after if repl is None else repl))

    operand_end = {"ident", "number", "string", "char", "raw"}
    # Which braces hold statements (function bodies, blocks, lambdas) rather than a class, a
    # namespace or an initializer: only there is a statement deleted.
    code, in_code = [], []
    for i, tok in enumerate(toks):
        in_code.append(bool(code) and code[-1])
        if tok.text == "{" and tok.kind == "punct":
            p = toks[i - 1].text if i else ""
            code.append(p in (")", "]", "}", "else", "do", "try", "const", "noexcept", "override", "mutable") or
                        (p in ("{", ";", ":") and bool(code) and code[-1]))
        elif tok.text == "}" and tok.kind == "punct" and code:
            code.pop()
    for i, tok in enumerate(toks):
        prev = toks[i - 1] if i else None
        nxt = toks[i + 1] if i + 1 < len(toks) else None
        text = tok.text
        if tok.kind == "punct":
            binary = spaced(src, tok) and prev is not None and (prev.kind in operand_end or prev.text in ")]")
            if text in RELATIONAL and binary:
                for r in RELATIONAL[text]:
                    add(tok.start, tok.end, text, r, "relational", tok.line)
            elif text in LOGICAL and binary:
                for r in LOGICAL[text]:
                    add(tok.start, tok.end, text, r, "logical", tok.line)
            elif text in ARITHMETIC and binary:
                near_string = any(t is not None and t.kind in ("string", "raw") for t in (prev, nxt))
                if not (text == "+" and near_string):
                    for r in ARITHMETIC[text]:
                        add(tok.start, tok.end, text, r, "arithmetic", tok.line)
            elif text == "!" and nxt is not None and src[tok.end:tok.end + 1] not in (" ", "="):
                add(tok.start, tok.end, "!" + nxt.text, nxt.text, "negation", tok.line, "")
            elif (text == "-" and nxt is not None and nxt.start == tok.end and
                  (prev is None or prev.kind not in operand_end and prev.text not in ")]")):
                add(tok.start, tok.end, "-" + nxt.text, nxt.text, "negation", tok.line, "")
        elif tok.kind == "number":
            for r in number_variants(text):
                add(tok.start, tok.end, text, r, "constant", tok.line)
        elif tok.kind == "ident":
            if text in ("true", "false") and prev is not None and prev.text == "return":
                flipped = "false" if text == "true" else "true"
                add(tok.start, tok.end, f"return {text}", f"return {flipped}", "return", tok.line, flipped)
            if (text in SUBSTRING_CALLS and prev is not None and prev.text in (".", "->") and
                    nxt is not None and nxt.text == "("):
                depth, j = 0, i + 2
                while j < len(toks):
                    t = toks[j].text
                    if t in "([{" and toks[j].kind == "punct":
                        depth += 1
                    elif t in ")]}" and toks[j].kind == "punct":
                        if depth == 0:
                            break
                        depth -= 1
                    elif t == "," and depth == 0:
                        break
                    j += 1
                if j > i + 2:
                    a, b = toks[i + 2].start, toks[j - 1].end
                    arg = src[a:b]
                    wrapped = arg if j == i + 3 else f"({arg})"
                    for d in ("+ 1", "- 1"):
                        add(a, b, f"{text}({arg}", f"{text}({wrapped} {d}", "substring", tok.line, f"{wrapped} {d}")
        # Statements and case labels start after ';', '{', '}' or 'else'.
        if in_code[i] and prev.text in (";", "{", "}", "else", ":"):
            if text == "case":
                j = i
                while j < len(toks) and toks[j].text != ":":
                    j += 1
                if j + 1 < len(toks) and toks[j + 1].text != "}":
                    add(tok.start, toks[j].end, src[tok.start:toks[j].end], "(case removed)", "case", tok.line, "")
                continue
            if tok.kind != "ident" or text in STATEMENT_KEYWORDS:
                continue
            e = chain_end(toks, i)
            end = statement_end(toks, i)
            if e == i or end is None or e >= end:
                continue
            after_chain = toks[e].text
            call = after_chain == "(" and toks[end - 1].text == ")"
            assignment = after_chain in ASSIGN
            if (call or assignment) and text not in ("if", "for", "while", "switch", "do", "else"):
                first = src[tok.start:toks[end].end].split("\n")[0]
                if first != src[tok.start:toks[end].end]:
                    first += " ..."
                add(tok.start, toks[end].end, first, "(deleted)", "statement", tok.line, "{}")
    return found


# --- what the build compiles and which test programs link it ------------------------------------

def ninja_graph(build):
    """Reverse edges of build.ninja (input -> outputs), leaving out the compile-order phonies."""
    text = open(os.path.join(build, "build.ninja"), encoding="utf-8").read().replace("$\n", " ")
    users, inputs = {}, {}
    for line in text.splitlines():
        if not line.startswith("build "):
            continue
        line = line[6:].replace("$ ", "\0").replace("$:", "\1")
        outs, _, rest = line.partition(":")
        outputs = [o.replace("\0", " ").replace("\1", ":") for o in outs.split() if o != "|"]
        if any("cmake_object_order_depends_target_" in o or "_autogen" in o for o in outputs):
            continue
        words = rest.split()[1:]
        for o in outputs:
            inputs[o] = {w.replace("\0", " ").replace("\1", ":") for w in words}
        for w in words:
            if w in ("|", "||"):
                continue
            users.setdefault(w.replace("\0", " ").replace("\1", ":"), set()).update(outputs)
    return users, inputs


def compiled_files(build):
    """Source file (relative to the checkout) -> objects that compile or include it."""
    out = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True, check=True).stdout
    objects_of, obj = {}, None
    for line in out.splitlines():
        if line and not line.startswith(" "):
            obj = line.split(":")[0]
        elif line.strip() and obj:
            p = os.path.normpath(os.path.join(build, line.strip()))
            rel = os.path.relpath(p, ROOT)
            if re.match(r"(src|tools)/", rel) and not re.search(r"_windows\.(cpp|h)$", rel):
                objects_of.setdefault(rel, set()).add(obj)
    return objects_of


def symbols(path, strong):
    """Global symbols an object defines (strong: not weak or inline), or every symbol a program has."""
    out = subprocess.run(["nm", "--defined-only", path], capture_output=True, text=True).stdout
    return {w[2] for w in (ln.split() for ln in out.splitlines())
            if len(w) >= 3 and (w[1] in "TDBR" if strong else True)}


class Programs:
    """The test programs that run a file's code: reached from its objects through libraries and
    programs in build.ninja, and holding one of the object's own symbols (a static library gives a
    program only the objects it needs), or running a program that does (the simulators, the CLI,
    the built program itself)."""

    def __init__(self, build, users, inputs):
        self.build, self.users, self.inputs, self.own, self.has = build, users, inputs, {}, {}

    def links(self, program, obj):
        if program not in self.has:
            self.has[program] = symbols(os.path.join(self.build, program), False)
        return not self.own[obj] or bool(self.own[obj] & self.has[program])

    def of(self, objects):
        programs = set()
        for obj in objects:
            if obj not in self.own:
                self.own[obj] = symbols(os.path.join(self.build, obj), True)
            seen, todo = set(), [obj]
            while todo:
                node = todo.pop()
                if node in seen:
                    continue
                seen.add(node)
                todo.extend(self.users.get(node, ()))
            for t in seen:
                if not re.fullmatch(r"tests/(\w+/)*test_\w+", t):
                    continue
                tools = [x for x in self.inputs.get(t, ()) if x in seen and re.fullmatch(r"tools/[\w/]*kovrel-[\w-]+|src/kovrel", x)]
                if self.links(t, obj) or any(self.links(x, obj) for x in tools):
                    programs.add(t)
        return sorted(programs)


# --- the excluded equivalents ---------------------------------------------------------------------

def load_equivalents():
    rules = []
    if not os.path.exists(EQUIVALENT_LIST):
        return rules
    for n, line in enumerate(open(EQUIVALENT_LIST, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        parts = [p.strip() for p in line.split("@@")]
        if len(parts) != 4:
            sys.exit(f"{EQUIVALENT_LIST}:{n}: want 'file regex @@ line text @@ before -> after @@ reason'")
        rules.append(parts)
    return rules


def equivalent(m, source_line, rules):
    """The reason the list gives for leaving the mutant out, or None."""
    for file_re, text, change, reason in rules:
        if (re.search(file_re, m.path) and text in source_line and
                (change == "*" or change == f"{m.before} -> {m.after}")):
            return reason
    return None


# --- running ---------------------------------------------------------------------------------------

class Planted:
    """The one mutated file, restored on every path (exceptions, Ctrl-C, SIGTERM)."""

    def __init__(self):
        self.path, self.original = None, None

    def plant(self, path, text):
        self.path, self.original = path, open(path, "rb").read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def restore(self):
        if self.path is not None:
            # A fresh write gives the file a new time, so the next build compiles the original again
            # (from the compiler cache).
            with open(self.path, "wb") as f:
                f.write(self.original)
            self.path = None


CHILD = []  # the running build or test program, ended with the script


def run(cmd, cwd=None, timeout=None):
    p = subprocess.Popen(["nice", "-n", "10"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
    CHILD[:] = [p]
    try:
        return p.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return "timeout"
    finally:
        CHILD.clear()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--count", type=int, default=200)
    ap.add_argument("--files", default="", help="only files whose path matches this regex")
    ap.add_argument("--timeout", type=float, default=0, help="seconds per test program (default: 5 x its own time + 10)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--list", action="store_true", help="print the drawn mutants, plant none")
    ap.add_argument("--log", help="append one JSON line per mutant to this file")
    ap.add_argument("--again", metavar="LOG", help="only the mutants that survived in LOG (after new tests)")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    os.environ["QT_QPA_PLATFORM"] = "offscreen"

    objects_of = compiled_files(build)
    programs = Programs(build, *ninja_graph(build))
    files = sorted(f for f in objects_of if re.search(args.files, f) and f.endswith((".cpp", ".h")))
    rules = load_equivalents()

    # The sample: a line drawn at random over the lines of code of all files picks the file, then
    # one of its unused places and one of that place's variants.
    rng = random.Random(args.seed)
    places, sources, weights = {}, {}, []
    for f in files:
        sources[f] = open(os.path.join(ROOT, f), encoding="utf-8").read()
        places[f] = find_mutants(f, sources[f])
        weights.append(len({m.line for m in places[f]}))  # its lines of code (declarations weigh nothing)
    by_place = {f: {} for f in files}
    for f in files:
        for m in places[f]:
            by_place[f].setdefault((m.start, m.end, m.kind), []).append(m)
    keys = {f: sorted(by_place[f]) for f in files}
    total_places = sum(len(k) for k in keys.values())
    chosen = []
    while len(chosen) < min(args.count, total_places):
        f = rng.choices(files, weights)[0]
        if not keys[f]:
            continue
        key = keys[f].pop(rng.randrange(len(keys[f])))
        chosen.append(rng.choice(by_place[f][key]))
    # Sources first, headers last: a header's mutant recompiles every file that includes it.
    chosen.sort(key=lambda m: (m.path.endswith(".h"), m.path, m.start))
    print(f"{total_places} places in {len(files)} files; seed {args.seed}: {len(chosen)} mutants", flush=True)

    if args.again:  # the same mutants, found again in the files by line and change
        entries = [json.loads(ln) for ln in open(args.again) if ln.strip()]
        wanted = [(e["path"], e["line"], e["before"], e["after"]) for e in entries if e["verdict"] == "survived"]
        chosen = []
        for path, line, before, after in wanted:
            if path not in places:
                sources[path] = open(os.path.join(ROOT, path), encoding="utf-8").read()
                places[path] = find_mutants(path, sources[path])
            same = [m for m in places[path] if (m.before, m.after) == (before, after)]
            # Lines move when code above them changes: the nearest place with the same change.
            near = sorted((m for m in same if abs(m.line - line) <= 30), key=lambda m: abs(m.line - line))
            if near:
                chosen.append(near[0])
                if near[0].line != line:
                    print(f"moved: {path}:{line} is now line {near[0].line}", flush=True)
            else:
                print(f"not found again: {path}:{line}: {before} -> {after}", flush=True)
    excluded, todo = {}, []
    for m in chosen:
        src = sources[m.path]
        reason = equivalent(m, src[src.rfind("\n", 0, m.start) + 1:src.find("\n", m.start)], rules)
        if reason:
            excluded[m] = reason
        else:
            todo.append(m)
    if args.list:
        for m in chosen:
            print(("excluded  " if m in excluded else "          ") + m.label())
        return 0

    planted = Planted()

    def interrupted(signum, _frame):
        for p in CHILD:
            os.killpg(p.pid, signal.SIGKILL)
        planted.restore()
        print("interrupted: source restored", file=sys.stderr)
        sys.exit(130)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)

    times = {}
    programs_of = {f: programs.of(objects_of[f]) for f in {m.path for m in todo}}
    needed = sorted({p for ps in programs_of.values() for p in ps})
    # Each test program once on the unmutated code: it must pass, and its time sets its timeout.
    if run(["ninja", "-C", build, f"-j{args.jobs}"] + needed) != 0:
        sys.exit("the unmutated build fails")
    for p in needed:
        t0 = time.monotonic()
        rc = run([os.path.join(build, p)], cwd=os.path.dirname(os.path.join(build, p)), timeout=600)
        if rc != 0:
            sys.exit(f"{p} fails on the unmutated code ({rc})")
        times[p] = time.monotonic() - t0

    killed, survived, not_built = [], [], []
    started = time.monotonic()
    try:
        for n, m in enumerate(todo, 1):
            t0 = time.monotonic()
            src = sources[m.path]
            planted.plant(os.path.join(ROOT, m.path), src[:m.start] + m.repl + src[m.end:])
            # The nearest test program first (same folder), then the quickest.
            folder = m.path.split("/")[1]
            progs = sorted(programs_of[m.path], key=lambda p: (f"/{folder}/" not in p and f"_{folder}" not in p,
                                                                 times.get(p, 60)))
            verdict, by = "survived", ""
            for k, p in enumerate(progs):
                # The nearest alone (it kills most), then all the others in one build.
                if k <= 1 and run(["ninja", "-C", build, f"-j{args.jobs}"] + (progs[1:] if k else [p])) != 0:
                    verdict = "not built"
                    break
                limit = args.timeout or 5 * times.get(p, 60) + 10
                rc = run([os.path.join(build, p), "--gtest_fail_fast"], cwd=os.path.dirname(os.path.join(build, p)),
                         timeout=limit)
                if rc != 0:
                    verdict, by = "killed", f"{os.path.basename(p)}{' (timeout)' if rc == 'timeout' else ''}"
                    break
            planted.restore()
            {"killed": killed, "survived": survived, "not built": not_built}[verdict].append(m)
            secs = time.monotonic() - t0
            print(f"[{n}/{len(todo)} {secs:5.1f}s] {verdict:9} {m.label()}  {by}", flush=True)
            if args.log:
                with open(args.log, "a") as f:
                    f.write(json.dumps({"seed": args.seed, "verdict": verdict, "path": m.path, "line": m.line,
                                        "before": m.before, "after": m.after, "kind": m.kind, "by": by,
                                        "secs": round(secs, 1)}) + "\n")
    finally:
        planted.restore()

    elapsed = time.monotonic() - started
    print("\nsurvivors:")
    for m in survived:
        print(f"  {m.label()}")
    print("excluded as equivalent:")
    for m, reason in excluded.items():
        print(f"  {m.label()}  ({reason})")
    scored = len(killed) + len(survived)
    done = len(killed) + len(survived) + len(not_built)
    print(f"\nseed {args.seed}: killed {len(killed)} of {scored} "
          f"({100 * len(killed) / scored if scored else 0:.1f}%); {len(not_built)} did not compile; "
          f"{len(excluded)} excluded as equivalent; {elapsed / max(done, 1):.1f} s per mutant")
    return 0


if __name__ == "__main__":
    sys.exit(main())
