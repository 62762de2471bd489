# SPDX-License-Identifier: MIT
"""Where a fault can go in a C++ source text, and what it looks like.

Every site is a span of the file and its replacement: the original code and
the faulty code behind DMM_FAULT(@ID@) (scripts/faults.h), so one build holds
all faults and the original code runs while none is on. A replacement never
adds or removes a line, so compiler messages keep the file's line numbers.

The analysis works on a masked copy of the text: comments blanked, string and
character contents replaced by \\x01, preprocessor lines blanked, so brackets,
operators and words are found in code only.
"""
import bisect
import re

KINDS = ("boundary", "negated", "ignored", "dropped", "constant", "return", "flag")
MARK = "@ID@"

_KEYWORDS = {
    "return", "co_return", "delete", "throw", "goto", "break", "continue", "case", "default",
    "do", "else", "new", "sizeof", "if", "for", "while", "switch", "try", "catch", "using",
    "static_cast", "const_cast", "reinterpret_cast", "dynamic_cast", "Q_UNUSED", "Q_ASSERT",
    "assert", "va_start", "va_end",
}
# Lines no fault goes on: constant expressions, labels, declarations of kinds.
_EXCLUDED_LINE = re.compile(
    r"\b(static_assert|constexpr|consteval|constinit|template|case|enum|typedef|namespace|"
    r"operator|alignas|Q_OBJECT|Q_PROPERTY|Q_ENUM|Q_GADGET|Q_DECLARE_\w+)\b|\bdefault\s*:|"
    r"^\s*using\b"
)
_CONTROL = {"if", "for", "while"}
_LITERAL = re.compile(
    r"(?<![\w.\x01'])(0[xX][0-9A-Fa-f]+|[0-9]+)([uU]?[lL]{0,2}[uU]?|ms|s|min|h|us|ns)(?![\w.'])"
)
_CALL = re.compile(r"(?:emit\s+)?([A-Za-z_]\w*)(?:::\w+|\.\w+|->\w+|\(\)|\[\])*\(\)")
_FLAG = re.compile(r"[A-Za-z_]\w*(?:(?:\.|->)\w+|\[\]|\(\)(?:\.|->)\w+)*\s*=\s*(true|false)")
# A condition that checks a call's result for a failure.
_CHECKED = re.compile(r"^!|(<|!=|==) (0|-1|nullptr)\b|[Ee]rr|[Ff]ail|[Ee]rror")
_DECLARATION = re.compile(r"\s*(const\s+)?(auto\b|[\w:]+(<[^()]*>)?[\s*&]+\w+\s*[=({])")


def mask(text):
    """(masked, clean): masked as above; clean is the text with comments blanked."""
    masked = list(text)
    clean = list(text)
    n = len(text)

    def blank(a, b, fill, also_clean):
        for k in range(a, b):
            if text[k] != "\n":
                masked[k] = fill
                if also_clean:
                    clean[k] = " "

    i = 0
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j, " ", True)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j, " ", True)
            i = j
        elif c == '"' and i > 0 and text[i - 1] == "R":
            m = re.match(r'"([^()\\\s]{0,16})\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            if end < 0:
                i += 1
                continue
            blank(i + 1, end + len(m.group(1)) + 1, "\x01", False)
            i = end + len(m.group(1)) + 2
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():
                i += 1  # a digit separator
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n), "\x01", False)
            i = j + 1
        else:
            i += 1
    # Preprocessor lines and their continuations.
    out = "".join(masked)
    lines = out.split("\n")
    continued = False
    for k, line in enumerate(lines):
        if continued or line.lstrip().startswith("#"):
            continued = line.rstrip().endswith("\\")
            lines[k] = " " * len(line)
    return "\n".join(lines), "".join(clean)


def _flat(s):
    return " ".join(s.split())


class Source:
    def __init__(self, rel, text):
        self.rel = rel
        self.text = text
        self.masked, self.clean = mask(text)
        self.starts = [0] + [k + 1 for k, c in enumerate(text) if c == "\n"]
        self.excluded = set()
        for number, line in enumerate(self.masked.split("\n"), 1):
            stripped = line.strip()
            if not stripped or _EXCLUDED_LINE.search(line) or _is_table_line(stripped):
                self.excluded.add(number)
            elif not re.search(r"[\w]", stripped.replace("\x01", "")):
                self.excluded.add(number)  # strings and punctuation only

    def line_of(self, pos):
        return bisect.bisect_right(self.starts, pos)

    def next_code(self, pos):
        k = pos
        while k < len(self.masked) and self.masked[k].isspace():
            k += 1
        return k


def _is_table_line(stripped):
    """A row of an initialiser list of constants: literals and commas only."""
    if re.search(r"[();=]|\breturn\b", stripped):
        return False
    return len(_LITERAL.findall(stripped)) >= 2 or re.fullmatch(r"[{}\s,\w.:\x01\-+]*,", stripped)


def _match_forward(m, open_pos):
    depth = 0
    for k in range(open_pos, len(m)):
        c = m[k]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                return k
    return -1


def _match_backward(m, close_pos):
    depth = 0
    for k in range(close_pos, -1, -1):
        c = m[k]
        if c in ")]}":
            depth += 1
        elif c in "([{":
            depth -= 1
            if depth == 0:
                return k
    return -1


def _word_before(m, pos):
    """The identifier ending just before pos (blanks skipped)."""
    k = pos - 1
    while k >= 0 and m[k].isspace():
        k -= 1
    end = k + 1
    while k >= 0 and (m[k].isalnum() or m[k] == "_"):
        k -= 1
    return m[k + 1 : end]


def _is_assignment(m, k):
    if m[k] != "=":
        return False
    nxt = m[k + 1] if k + 1 < len(m) else ""
    prv = m[k - 1] if k > 0 else ""
    if nxt == "=" or prv == "=":
        return False
    if prv in "!":
        return False
    if prv in "<>":
        return k >= 2 and m[k - 2] == prv  # <<= >>=, not <= >=
    return True


def _left_extent(m, pos):
    """Start of the left operand of a relational operator whose space is at pos."""
    depth = 0
    k = pos - 1
    while k >= 0:
        c = m[k]
        if c in ")]":
            depth += 1
        elif c in "([{":
            if depth == 0:
                return k + 1
            depth -= 1
        elif c == "}":
            if depth == 0:
                return k + 1
            depth += 1
        elif depth == 0:
            pair = m[k - 1 : k + 1]
            if c in ";,?" or pair in ("&&", "||", "==", "!=") or _is_assignment(m, k):
                return k + 1
            if c == ":" and m[k - 1] != ":" and m[k + 1] != ":":
                return k + 1
            if c in "&|^" and m[k - 1] == " " and m[k + 1] == " ":
                return k + 1
            if c.isalpha() and _word_at(m, k) in ("return", "co_return", "throw"):
                return k + 1
        k -= 1
    return None


def _word_at(m, k):
    """The whole identifier that ends at k, if k ends one."""
    if k + 1 < len(m) and (m[k + 1].isalnum() or m[k + 1] == "_"):
        return ""
    a = k
    while a > 0 and (m[a - 1].isalnum() or m[a - 1] == "_"):
        a -= 1
    return m[a : k + 1]


def _right_extent(m, pos):
    depth = 0
    k = pos
    n = len(m)
    while k < n:
        c = m[k]
        if c in "([":
            depth += 1
        elif c in ")]}":
            if depth == 0:
                return k
            depth -= 1
        elif c == "{":
            if depth == 0:
                return k
            depth += 1
        elif depth == 0:
            pair = m[k : k + 2]
            if c in ";,?" or pair in ("&&", "||", "==", "!="):
                return k
            if c == ":" and m[k + 1] != ":" and m[k - 1] != ":":
                return k
            if c == "=" and _is_assignment(m, k):
                return k
            if c in "&|^" and m[k - 1] == " " and m[k + 1] == " ":
                return k
            if re.match(r" (<|<=|>|>=) ", m[k : k + 4]):
                return k
        k += 1
    return None


def _trim(m, a, b):
    while a < b and m[a].isspace():
        a += 1
    while b > a and m[b - 1].isspace():
        b -= 1
    return a, b


def _site(src, kind, a, b, replacement, shown):
    return {
        "file": src.rel,
        "kind": kind,
        "start": a,
        "end": b,
        "line": src.line_of(a),
        "last_line": src.line_of(max(a, b - 1)),
        "original": src.text[a:b],
        "replacement": replacement,
        "shown": shown,
    }


def _boundaries(src):
    m = src.masked
    swap = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
    for hit in re.finditer(r" (<=|>=|<|>) ", m):
        left = _left_extent(m, hit.start())
        right = _right_extent(m, hit.end())
        if left is None or right is None:
            continue
        a, b = _trim(m, left, right)
        if a >= hit.start() or b <= hit.end() or not m[a:b].strip():
            continue
        op = hit.group(1)
        faulty = _flat(src.clean[a : hit.start(1)] + swap[op] + src.clean[hit.end(1) : b])
        original = src.text[a:b]
        repl = f"(DMM_FAULT({MARK}) ? ({faulty}) : ({original}))"
        yield _site(src, "boundary", a, b, repl, f"`{_flat(src.clean[a:b])}` → `{faulty}`")


def _conditions(src):
    m = src.masked
    for hit in re.finditer(r"\b(if|while)\s*\(", m):
        if _word_before(m, hit.start()) == "constexpr":
            continue
        open_pos = hit.end() - 1
        close = _match_forward(m, open_pos)
        if close < 0:
            continue
        a, b = _trim(m, open_pos + 1, close)
        cond = m[a:b]
        if not cond or _DECLARATION.match(cond) or ";" in cond.replace("\x01", ""):
            continue
        original = src.text[a:b]
        shown = _flat(src.clean[a:b])
        yield _site(src, "negated", a, b,
                    f"(DMM_FAULT({MARK}) != static_cast<bool>({original}))",
                    f"`{hit.group(1)} ({shown})` → `{hit.group(1)} (!({shown}))`")
        if hit.group(1) == "if" and re.search(r"\w\s*\(", cond) and _CHECKED.search(cond):
            yield _site(src, "ignored", a, b,
                        f"(static_cast<bool>({original}) && !DMM_FAULT({MARK}))",
                        f"`if ({shown})` never taken (the check's result ignored)")


def _statement_starts(src):
    m = src.masked
    starts = set()
    for k, c in enumerate(m):
        if c in ";{}":
            starts.add(src.next_code(k + 1))
    for hit in re.finditer(r"\b(if|for|while)\s*\(", m):
        close = _match_forward(m, hit.end() - 1)
        if close > 0:
            starts.add(src.next_code(close + 1))
    for hit in re.finditer(r"\belse\b", m):
        starts.add(src.next_code(hit.end()))
    for hit in re.finditer(r"^[ \t]*(case\b[^\n;]*?|default\s*):(?!:)", m, re.M):
        starts.add(src.next_code(hit.end()))
    return sorted(s for s in starts if s < len(m) and (m[s].isalpha() or m[s] == "_"))


def _statement_end(m, start):
    depth = 0
    for k in range(start, len(m)):
        c = m[k]
        if c in "([{":
            if c == "{" and depth == 0:
                return -1
            depth += 1
        elif c in ")]}":
            if depth == 0:
                return -1
            depth -= 1
        elif c == ";" and depth == 0:
            return k
    return -1


def _residue(s):
    out = []
    depth = 0
    for c in s:
        if c in "([{":
            if depth == 0:
                out.append(c)
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                out.append(c)
        elif depth == 0:
            out.append(c)
    return "".join(out).strip()


def _header_opens_branch(m, pos):
    """Whether the code just before pos ends an if/for/while header or an else."""
    k = len(m[:pos].rstrip()) - 1
    if k < 0:
        return False
    if m[k] == ")":
        opened = _match_backward(m, k)
        return opened > 0 and _word_before(m, opened) in _CONTROL
    return _word_at(m, k) == "else"


def _is_early(m, start):
    """A return inside an if, else, for or while: not a function's own last word."""
    if _header_opens_branch(m, start):
        return True
    k = len(m[:start].rstrip()) - 1
    # The block the return is in.
    depth = 0
    while k >= 0:
        c = m[k]
        if c == "}":
            depth += 1
        elif c == "{":
            if depth == 0:
                return _header_opens_branch(m, k)
            depth -= 1
        k -= 1
    return False


def _statements(src):
    m = src.masked
    for start in _statement_starts(src):
        end = _statement_end(m, start)
        if end < 0:
            continue
        stmt = m[start:end]
        body = src.text[start : end + 1]
        shown = _flat(src.clean[start : end + 1])
        repl = f"{{ if (!DMM_FAULT({MARK})) {body} }}"
        first = re.match(r"[A-Za-z_]\w*", stmt).group(0)
        if first == "return":
            if _is_early(m, start):
                yield _site(src, "return", start, end + 1, repl, f"`{shown}` removed")
            continue
        res = _residue(stmt)
        call = _CALL.fullmatch(res)
        if call and call.group(1) not in _KEYWORDS and not re.fullmatch(r"[A-Z][A-Z0-9_]+", call.group(1)):
            yield _site(src, "dropped", start, end + 1, repl, f"`{shown}` dropped")
        elif _FLAG.fullmatch(res) and first not in _KEYWORDS:
            yield _site(src, "flag", start, end + 1, repl, f"`{shown}` left out")


def _constants(src):
    m = src.masked
    for hit in _LITERAL.finditer(m):
        digits, suffix = hit.group(1), hit.group(2)
        if re.search(r"\)\s*(const\s*)?(override\s*)?=\s*$", m[max(0, hit.start() - 40) : hit.start()]):
            continue  # = 0 of a pure virtual function
        if digits.lower().startswith("0x"):
            value = int(digits, 16)
            base = 16
        elif len(digits) > 1 and digits.startswith("0"):
            value = int(digits, 8)
            base = 8
        else:
            value = int(digits)
            base = 10
        new = value + 1 if value == 0 or (hit.start() + len(src.rel)) % 2 == 0 else value - 1
        if base == 16:
            text = "0x%0*X" % (len(digits) - 2, new)
        elif base == 8:
            text = "0%o" % new
        else:
            text = str(new)
        original = src.text[hit.start() : hit.end()]
        faulty = text + suffix
        yield _site(src, "constant", hit.start(), hit.end(),
                    f"(DMM_FAULT({MARK}) ? {faulty} : {original})", f"`{original}` → `{faulty}`")


def find_sites(rel, text, lines=None):
    """Every fault site of one file, on `lines` only when given."""
    src = Source(rel, text)
    sites = []
    for finder in (_boundaries, _conditions, _statements, _constants):
        for site in finder(src):
            if site["line"] in src.excluded:
                continue
            if lines is not None and not any(
                ln in lines for ln in range(site["line"], site["last_line"] + 1)
            ):
                continue
            sites.append(site)
    sites.sort(key=lambda s: (s["start"], KINDS.index(s["kind"])))
    return sites


def apply_sites(text, sites):
    """The text with every site's replacement, each with its own id."""
    out = text
    for site in sorted(sites, key=lambda s: s["start"], reverse=True):
        assert out[site["start"] : site["end"]] == site["original"], site
        repl = site["replacement"].replace(MARK, str(site["id"]))
        out = out[: site["start"]] + repl + out[site["end"] :]
    return out


def relocate(site, text):
    """The site moved to where its original code is now in `text` (the nearest
    copy to its old line), or None when that code is gone."""
    found = []
    k = text.find(site["original"])
    while k >= 0:
        found.append(k)
        k = text.find(site["original"], k + 1)
    if not found:
        return None
    src_starts = [0] + [i + 1 for i, c in enumerate(text) if c == "\n"]
    best = min(found, key=lambda p: abs(bisect.bisect_right(src_starts, p) - site["line"]))
    moved = dict(site)
    moved["start"] = best
    moved["end"] = best + len(site["original"])
    moved["line"] = bisect.bisect_right(src_starts, best)
    moved["last_line"] = bisect.bisect_right(src_starts, moved["end"] - 1)
    return moved


def written_site(rel, text, kind, original, faulty):
    """A fault written by hand: `original` (its first occurrence) becomes
    `faulty`; kind "expr" for an expression, "stmt" for whole statements."""
    start = text.find(original)
    if start < 0:
        return None
    src = Source(rel, text)
    if kind == "expr":
        repl = f"(DMM_FAULT({MARK}) ? ({faulty}) : ({original}))"
    else:
        repl = f"if (DMM_FAULT({MARK})) {{ {faulty} }} else {{ {original} }}"
    shown = f"`{_flat(original)}` → `{_flat(faulty)}`" if faulty else f"`{_flat(original)}` left out"
    return _site(src, "by hand", start, start + len(original), repl, shown)

