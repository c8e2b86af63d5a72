"""Mutants of C++ sources, for scripts/mutate.

    mutants.py sync SOURCE_ROOT COPY_ROOT
        Makes COPY_ROOT hold the files git tracks (or would track) in
        SOURCE_ROOT, copying only the ones that differ, so an incremental
        build of the copy rebuilds only what changed (and all of that).
    mutants.py make ROOT FILE OUT_DIR [--sample N] [--seed S] [--lines A-B]
        Writes each mutant of ROOT/FILE as OUT_DIR/NNNN.cpp and lists them in
        OUT_DIR/index.tsv (number, line, what changed). With --lines, only
        the mutants on lines A to B; with --sample, N of them, the same N for
        the same seed and source.

The mutants are made on clang's own parse of the file (libclang, through
Debian's python3-clang-14), so an operator is changed only where the parse
has a built-in operator, a literal only where it has an integer literal, and
nothing inside comments, strings, macros or template brackets. The rules are
the usual small faults:

- a comparison's bound moved (< and <=, > and >=) or turned (== and !=);
- && and || swapped; + and -, * and /, & and |, += and -=, ++ and -- swapped;
- a ! dropped;
- an integer literal moved by one (0 becomes 1, 1 becomes 0 or 2);
- true and false swapped;
- a statement left out (a call, an assignment, a return, break or continue);
- the other end of a queue or range (front and back, push_front and
  push_back, pop_front and pop_back, min and max).
"""

import bisect
import os
import random
import shutil
import subprocess
import sys

import clang.cindex as ci

RESOURCE_DIR = '/usr/lib/llvm-14/lib/clang/14.0.6'
GCC_CXX_INCLUDE = '/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++'

BINARY_SWAPS = {
    '<': ['<='], '<=': ['<'], '>': ['>='], '>=': ['>'],
    '==': ['!='], '!=': ['=='],
    '&&': ['||'], '||': ['&&'],
    '+': ['-'], '-': ['+'], '*': ['/'], '/': ['*'],
    '&': ['|'], '|': ['&'],
    '+=': ['-='], '-=': ['+='],
}
NAME_SWAPS = {
    'front': 'back', 'back': 'front',
    'push_front': 'push_back', 'push_back': 'push_front',
    'pop_front': 'pop_back', 'pop_back': 'pop_front',
    'min': 'max', 'max': 'min',
}
K = ci.CursorKind
EXPRESSION_STATEMENTS = {
    K.CALL_EXPR, K.UNEXPOSED_EXPR, K.BINARY_OPERATOR, K.COMPOUND_ASSIGNMENT_OPERATOR,
    K.UNARY_OPERATOR, K.CSTYLE_CAST_EXPR, K.CXX_DELETE_EXPR,
}
JUMP_STATEMENTS = {K.RETURN_STMT, K.BREAK_STMT, K.CONTINUE_STMT}
STATEMENT_HOLDERS = {K.COMPOUND_STMT, K.IF_STMT, K.FOR_STMT, K.WHILE_STMT, K.DO_STMT, K.CXX_FOR_RANGE_STMT}


SPECIALIZED_TEMPLATE = ci.conf.lib.clang_getSpecializedCursorTemplate
SPECIALIZED_TEMPLATE.argtypes = [ci.Cursor]
SPECIALIZED_TEMPLATE.restype = ci.Cursor
SPECIALIZED_TEMPLATE.errcheck = ci.Cursor.from_result


def kind_of(c):
    try:
        return c.kind
    except ValueError:  # a kind newer than these bindings know
        return None


def parse(root, path):
    cxx = GCC_CXX_INCLUDE
    args = ['-x', 'c++', '-std=c++20', '--target=x86_64-w64-mingw32', '-I' + root,
            '-resource-dir', RESOURCE_DIR, '-stdlib++-isystem', cxx,
            '-stdlib++-isystem', cxx + '/x86_64-w64-mingw32', '-DUNICODE', '-D_UNICODE']
    tu = ci.Index.create().parse(path, args=args)
    errors = [str(d) for d in tu.diagnostics if d.severity >= ci.Diagnostic.Error]
    if errors:
        sys.exit('cannot parse %s:\n  %s' % (path, '\n  '.join(errors[:5])))
    return tu


def integer_value(spelling):
    digits = spelling.rstrip('uUlL').replace("'", '')
    try:
        if digits.lower().startswith('0x'):
            return int(digits, 16), 'x'
        if digits.lower().startswith('0b'):
            return int(digits, 2), 'b'
        if len(digits) > 1 and digits.startswith('0'):
            return int(digits, 8), 'o'
        return int(digits, 10), 'd'
    except ValueError:
        return None, None


def spell_integer(value, base, original):
    suffix = original[len(original.rstrip('uUlL')):]
    if base == 'x':
        text = '0x%X' % value if any(c.isupper() for c in original[2:]) else '0x%x' % value
    elif base == 'b':
        text = '0b' + format(value, 'b')
    elif base == 'o':
        text = '0%o' % value
    else:
        text = str(value)
    return text + suffix


def collect(tu, path):
    """(start, end, replacement, description) for each mutant, in file order."""
    real = os.path.realpath(path)
    source = open(path, encoding='utf-8').read().encode('utf-8')
    tokens = [t for t in tu.get_tokens(extent=tu.cursor.extent)
              if t.location.file and os.path.realpath(t.location.file.name) == real]
    by_offset = {t.extent.start.offset: t for t in tokens}
    offsets = sorted(by_offset)
    found = []

    def in_file(c):
        return c.location.file and os.path.realpath(c.location.file.name) == real

    def token_at(offset):
        return by_offset.get(offset)

    def next_token(offset, spelling):
        import bisect
        i = bisect.bisect_left(offsets, offset)
        while i < len(offsets):
            t = by_offset[offsets[i]]
            if t.spelling == spelling:
                return t
            if t.spelling in ('{', '}'):
                return None
            i += 1
        return None

    def add(start, end, replacement, what):
        found.append((start, end, replacement, what))

    def visit(c, parent):
        kind = kind_of(c)
        children = list(c.get_children())
        start, end = c.extent.start.offset, c.extent.end.offset
        if kind in (K.BINARY_OPERATOR, K.COMPOUND_ASSIGNMENT_OPERATOR) and len(children) == 2:
            lhs, rhs = children
            lo, hi = lhs.extent.end.offset, rhs.extent.start.offset
            for t in tokens_between(lo, hi):
                if t.spelling in BINARY_SWAPS:
                    for r in BINARY_SWAPS[t.spelling]:
                        add(t.extent.start.offset, t.extent.end.offset, r, "'%s' -> '%s'" % (t.spelling, r))
                break
        elif kind == K.UNARY_OPERATOR and children:
            operand = children[0]
            first, last = token_at(start), None
            if first is not None and first.spelling == '!' and operand.extent.start.offset > start:
                add(start, first.extent.end.offset, '', "'!' dropped")
            elif first is not None and first.spelling in ('++', '--') and operand.extent.start.offset > start:
                last = first
            else:
                for t in tokens_between(operand.extent.end.offset, end):
                    if t.spelling in ('++', '--'):
                        last = t
            if last is not None:
                r = '--' if last.spelling == '++' else '++'
                add(last.extent.start.offset, last.extent.end.offset, r, "'%s' -> '%s'" % (last.spelling, r))
        elif kind == K.INTEGER_LITERAL:
            t = token_at(start)
            if t is not None and t.kind == ci.TokenKind.LITERAL:
                value, base = integer_value(t.spelling)
                if value is not None:
                    moved = [1] if value == 0 else [0, 2] if value == 1 else [value + 1, value - 1]
                    for v in moved:
                        r = spell_integer(v, base, t.spelling)
                        add(start, t.extent.end.offset, r, "%s -> %s" % (t.spelling, r))
        elif kind == K.CXX_BOOL_LITERAL_EXPR:
            t = token_at(start)
            if t is not None and t.spelling in ('true', 'false'):
                r = 'false' if t.spelling == 'true' else 'true'
                add(start, t.extent.end.offset, r, '%s -> %s' % (t.spelling, r))
        elif kind in (K.MEMBER_REF_EXPR, K.DECL_REF_EXPR, K.OVERLOADED_DECL_REF):
            for t in tokens_between(start, end):
                if t.spelling in NAME_SWAPS and t.kind == ci.TokenKind.IDENTIFIER:
                    r = NAME_SWAPS[t.spelling]
                    if kind == K.MEMBER_REF_EXPR and not has_member(c, r):
                        continue
                    add(t.extent.start.offset, t.extent.end.offset, r, '%s -> %s' % (t.spelling, r))
        if parent is not None and kind_of(parent) in STATEMENT_HOLDERS and (
                kind in JUMP_STATEMENTS or kind in EXPRESSION_STATEMENTS):
            is_condition = kind_of(parent) != K.COMPOUND_STMT and not is_body(c, parent)
            t = token_at(start)
            semicolon = next_token(end, ';')
            if not is_condition and t is not None and semicolon is not None and \
                    all(u.spelling != ';' for u in tokens_between(start, end)):
                text = source[start:semicolon.extent.end.offset].decode('utf-8')
                add(start, semicolon.extent.end.offset, '{}', 'left out: %s' % ' '.join(text.split()))
        for child in children:
            if in_file(child):
                visit(child, c)

    def has_member(c, name):
        # A string has push_back but no push_front: swap only where the
        # class has both, so the mutant compiles.
        decl = c.referenced
        owner = decl.semantic_parent if decl is not None else None
        if owner is None:
            return False
        members = list(owner.get_children())
        if not members:  # an implicit instantiation lists its template's
            template = SPECIALIZED_TEMPLATE(owner)
            members = list(template.get_children()) if template is not None else []
        return any(m.spelling == name for m in members)

    def tokens_between(lo, hi):
        import bisect
        i = bisect.bisect_left(offsets, lo)
        while i < len(offsets) and offsets[i] < hi:
            yield by_offset[offsets[i]]
            i += 1

    def is_body(c, parent):
        # The statements a holder runs, as against its condition and
        # initialisers: the last child of a loop, the second (and third) of
        # an if without an initialiser.
        kids = list(parent.get_children())
        if kind_of(parent) == K.IF_STMT:
            return len(kids) >= 2 and any(k == c for k in kids[1:]) and kids[0] != c
        return kids and kids[-1] == c

    for top in tu.cursor.get_children():
        if in_file(top):
            visit(top, None)
    found = sorted(set(found))
    return source, found


def make(root, rel, out_dir, sample, seed, lines):
    path = os.path.join(root, rel)
    tu = parse(root, path)
    source, found = collect(tu, path)
    line_starts = [0] + [i + 1 for i, b in enumerate(source) if b == 0x0A]
    numbered = [(n, m) for n, m in enumerate(found, 1)
                if lines[0] <= bisect.bisect_right(line_starts, m[0]) <= lines[1]]
    if sample and sample < len(numbered):
        picked = random.Random('%s:%s' % (seed, rel)).sample(numbered, sample)
        numbered = sorted(picked)
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    with open(os.path.join(out_dir, 'index.tsv'), 'w', encoding='utf-8') as index:
        for n, (start, end, replacement, what) in numbered:
            mutated = source[:start] + replacement.encode('utf-8') + source[end:]
            with open(os.path.join(out_dir, '%04d.cpp' % n), 'wb') as f:
                f.write(mutated)
            line = bisect.bisect_right(line_starts, start)
            index.write('%04d\t%d\t%s\n' % (n, line, what))
    print('%s: %d mutants, %d taken' % (rel, len(found), len(numbered)), file=sys.stderr)


def sync(source_root, copy_root):
    listed = subprocess.run(['git', '-C', source_root, 'ls-files', '-co', '--exclude-standard', '-z'],
                            check=True, capture_output=True).stdout.decode('utf-8').split('\0')
    wanted = {f for f in listed if f and os.path.isfile(os.path.join(source_root, f))}
    for rel in sorted(wanted):
        src, dst = os.path.join(source_root, rel), os.path.join(copy_root, rel)
        if os.path.isfile(dst) and open(src, 'rb').read() == open(dst, 'rb').read():
            continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        # A new time, not the source's: what was built from the old copy
        # may be newer than the source's change, and must be built again.
        shutil.copyfile(src, dst)
        shutil.copymode(src, dst)
    for here, _, files in os.walk(copy_root):
        for name in files:
            rel = os.path.relpath(os.path.join(here, name), copy_root)
            if rel not in wanted:
                os.remove(os.path.join(copy_root, rel))


def main(argv):
    if len(argv) >= 3 and argv[0] == 'sync':
        sync(argv[1], argv[2])
        return
    if len(argv) >= 4 and argv[0] == 'make':
        rest, sample, seed, lines = argv[4:], 0, 1, (1, 1 << 30)
        while rest:
            if rest[0] == '--sample':
                sample = int(rest[1])
            elif rest[0] == '--seed':
                seed = rest[1]
            elif rest[0] == '--lines':
                lines = tuple(int(x) for x in rest[1].split('-'))
            else:
                sys.exit('unknown option %s' % rest[0])
            rest = rest[2:]
        make(argv[1], argv[2], argv[3], sample, seed, lines)
        return
    sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv[1:])
