"""Mutants of C++ sources, for scripts/mutate.

    mutants.py sync SOURCE_ROOT COPY_ROOT
        Makes COPY_ROOT hold the files git tracks (or would track) in
        SOURCE_ROOT, copying only the ones that differ, so an incremental
        build of the copy rebuilds only what changed (and all of that).
    mutants.py make ROOT FILE OUT_DIR --build DIR [--sample N] [--seed S]
                    [--lines A-B]
        Writes each mutant of ROOT/FILE as OUT_DIR/NNNN.cpp and lists them in
        OUT_DIR/index.tsv (number, line, what changed). DIR is a build of
        ROOT configured with CMAKE_EXPORT_COMPILE_COMMANDS: the file is parsed
        with the flags the build compiles it with (a header with those of its
        source, or of another source in its folder). With --lines, only the
        mutants on lines A to B (default: all); with --sample, N of them, the
        same N for the same seed and source.

The mutants are made on clang's own parse of the file (libclang, through
Debian's python3-clang bindings), so an operator is changed only where the
parse has a built-in operator, a literal only where it has an integer
literal, and nothing inside comments, strings, macros or template brackets.
The rules are the usual small faults, one function each (RULES, in this
order):

- a comparison's bound moved (< and <=, > and >=) or turned (== and !=);
- && and || swapped; + and -, * and /, & and |, += and -=, ++ and -- swapped;
- a ! dropped;
- an integer literal moved by one (0 becomes 1, 1 becomes 0 or 2);
- true and false swapped;
- a statement left out (a call, an assignment, a return, break or continue);
- the other end of a queue or range (front and back, push_front and
  push_back, pop_front and pop_back, min and max).
"""

import argparse
import bisect
import glob
import json
import os
import random
import re
import shlex
import shutil
import subprocess
import sys

import clang.cindex as ci

COMPARISON_SWAPS = {'<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '=='}
OPERATOR_SWAPS = {
    '&&': '||', '||': '&&', '+': '-', '-': '+', '*': '/', '/': '*',
    '&': '|', '|': '&', '+=': '-=', '-=': '+=',
}
INCREMENT_SWAPS = {'++': '--', '--': '++'}
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
# The compile flags that change what the parse sees; the rest (warnings,
# optimisation, output) are the compiler's business, and a GCC flag may be
# one clang does not know.
FLAGS_WITH_VALUE = ('-D', '-U', '-I', '-isystem', '-iquote', '-idirafter', '-include', '-stdlib++-isystem',
                    '-target')
PATH_FLAGS = ('-I', '-isystem', '-iquote', '-idirafter', '-include', '-stdlib++-isystem')
FLAGS_ALONE = ('-std=', '--target=')


def version_key(path):
    return [int(n) for n in re.findall(r'\d+', os.path.basename(path))]


def load_libclang():
    """The bindings' own libclang (Debian's bindings name the library of
    their own version); where that is missing, the newest one installed."""
    try:
        return ci.conf.lib
    except ci.LibclangError as e:
        found = sorted(glob.glob('/usr/lib/llvm-*/lib/libclang.so*') +
                       glob.glob('/usr/lib/*-linux-gnu/libclang-[0-9]*.so*'), key=version_key)
        if not found:
            sys.exit('no libclang: %s' % e)
        ci.Config.set_library_file(found[-1])
        return ci.conf.lib


def resource_dir():
    """The headers of the clang that libclang is (its stddef.h and the rest):
    libclang, loaded from a library directory, does not find them itself."""
    lib = load_libclang()
    version = lib.clang_getClangVersion
    version.argtypes, version.restype, version.errcheck = [], ci._CXString, ci._CXString.from_result
    text = version()
    text = text.decode('utf-8') if isinstance(text, bytes) else text
    major = re.search(r'version (\d+)', text)
    for clang in (['clang-' + major.group(1)] if major else []) + ['clang']:
        try:
            found = subprocess.run([clang, '-print-resource-dir'], capture_output=True, text=True).stdout.strip()
        except OSError:
            continue
        if found and os.path.isdir(found):
            return found
    sys.exit('no clang found for %s (its -print-resource-dir)' % text)


def compile_entry(build_dir, path):
    """The build's compile command of PATH; for a header, that of the source
    of its name, or else of the first source in its folder."""
    database = os.path.join(build_dir, 'compile_commands.json')
    with open(database, encoding='utf-8') as f:
        entries = [e for e in json.load(f) if e['file'].endswith('.cpp')]
    by_path = {}
    for e in entries:
        by_path.setdefault(os.path.realpath(os.path.join(e['directory'], e['file'])), e)
    real = os.path.realpath(path)
    stem, folder = os.path.splitext(real)[0], os.path.dirname(real)
    # A source the database does not list is built some other way (the
    # relay, for the build host): another's flags would not parse it.
    beside = [] if real.endswith('.cpp') else sorted(p for p in by_path if os.path.dirname(p) == folder)
    for candidate in [real, stem + '.cpp'] + beside:
        if candidate in by_path:
            return by_path[candidate]
    sys.exit('%s: no compile command for it (nor, for a header, for a source beside it) in %s' % (path, database))


def compiler_flags(compiler):
    """What a GCC compiler gives its compilations that clang must be told:
    the target, and GCC's C++ library headers (clang finds the MinGW-w64
    headers of the target itself, but looks for the C++ library under a
    plain version number, and this GCC's sits under one named after its
    thread model, as 12-posix)."""
    if 'clang' in os.path.basename(compiler):
        return []  # its flags in the database say it all
    target = subprocess.run([compiler, '-dumpmachine'], check=True, capture_output=True, text=True).stdout.strip()
    searched = subprocess.run([compiler, '-x', 'c++', '-E', '-v', os.devnull],
                              check=True, capture_output=True, text=True).stderr
    flags = ['--target=' + target]
    listing = searched.split('#include <...> search starts here:')[-1].split('End of search list.')[0]
    for line in listing.splitlines():
        directory = os.path.normpath(line.strip())
        if 'c++' in directory.split(os.sep):
            flags += ['-stdlib++-isystem', directory]
    return flags


def parse_args(build_dir, path):
    entry = compile_entry(build_dir, path)
    words = entry['arguments'] if 'arguments' in entry else shlex.split(entry['command'])
    args = ['-x', 'c++', '-resource-dir', resource_dir()] + compiler_flags(words[0])
    rest = iter(words[1:])
    for word in rest:
        if word in FLAGS_WITH_VALUE:
            value = next(rest, '')
            args += [word, os.path.join(entry['directory'], value) if word in PATH_FLAGS else value]
        elif word.startswith(FLAGS_ALONE) or (word[:2] in FLAGS_WITH_VALUE and len(word) > 2):
            args.append('-I' + os.path.join(entry['directory'], word[2:]) if word.startswith('-I') else word)
    return args


def kind_of(c):
    try:
        return c.kind
    except ValueError:  # a kind newer than these bindings know
        return None


def parse(build_dir, path):
    tu = ci.Index.create().parse(path, args=parse_args(build_dir, path))
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


class FileTokens:
    """The parsed file's bytes and its own tokens (not those of what it
    includes), found by offset."""

    def __init__(self, tu, path):
        self.real = os.path.realpath(path)
        with open(path, encoding='utf-8') as f:
            self.source = f.read().encode('utf-8')
        tokens = [t for t in tu.get_tokens(extent=tu.cursor.extent) if self.in_file(t)]
        self.by_offset = {t.extent.start.offset: t for t in tokens}
        self.offsets = sorted(self.by_offset)

    def in_file(self, c):
        return c.location.file and os.path.realpath(c.location.file.name) == self.real

    def at(self, offset):
        return self.by_offset.get(offset)

    def between(self, lo, hi):
        i = bisect.bisect_left(self.offsets, lo)
        while i < len(self.offsets) and self.offsets[i] < hi:
            yield self.by_offset[self.offsets[i]]
            i += 1

    def next(self, offset, spelling):
        """The first token SPELLING from OFFSET on, within its block."""
        i = bisect.bisect_left(self.offsets, offset)
        while i < len(self.offsets):
            t = self.by_offset[self.offsets[i]]
            if t.spelling == spelling:
                return t
            if t.spelling in ('{', '}'):
                return None
            i += 1
        return None


class Node:
    """A cursor of the file as the rules see it."""

    def __init__(self, cursor, parent):
        self.cursor, self.parent = cursor, parent
        self.kind = kind_of(cursor)
        self.children = list(cursor.get_children())
        self.start, self.end = cursor.extent.start.offset, cursor.extent.end.offset


def swapped(t, replacement):
    return t.extent.start.offset, t.extent.end.offset, replacement, "'%s' -> '%s'" % (t.spelling, replacement)


def binary_operator(f, n):
    """The operator token of a binary operator: the first between its operands."""
    if n.kind in (K.BINARY_OPERATOR, K.COMPOUND_ASSIGNMENT_OPERATOR) and len(n.children) == 2:
        lhs, rhs = n.children
        return next(f.between(lhs.extent.end.offset, rhs.extent.start.offset), None)
    return None


def increment(f, n):
    """The ++ or -- of an increment or decrement, before its operand or after."""
    if n.kind != K.UNARY_OPERATOR or not n.children:
        return None
    operand = n.children[0]
    first = f.at(n.start)
    if first is not None and first.spelling in INCREMENT_SWAPS and operand.extent.start.offset > n.start:
        return first
    last = None
    for t in f.between(operand.extent.end.offset, n.end):
        if t.spelling in INCREMENT_SWAPS:
            last = t
    return last


def comparison_moved_or_turned(f, n):
    t = binary_operator(f, n)
    if t is not None and t.spelling in COMPARISON_SWAPS:
        yield swapped(t, COMPARISON_SWAPS[t.spelling])


def operator_swapped(f, n):
    t = binary_operator(f, n)
    if t is not None and t.spelling in OPERATOR_SWAPS:
        yield swapped(t, OPERATOR_SWAPS[t.spelling])
    t = increment(f, n)
    if t is not None:
        yield swapped(t, INCREMENT_SWAPS[t.spelling])


def not_dropped(f, n):
    if n.kind == K.UNARY_OPERATOR and n.children:
        first = f.at(n.start)
        if first is not None and first.spelling == '!' and n.children[0].extent.start.offset > n.start:
            yield n.start, first.extent.end.offset, '', "'!' dropped"


def literal_moved(f, n):
    t = f.at(n.start) if n.kind == K.INTEGER_LITERAL else None
    if t is not None and t.kind == ci.TokenKind.LITERAL:
        value, base = integer_value(t.spelling)
        if value is not None:
            for v in [1] if value == 0 else [0, 2] if value == 1 else [value + 1, value - 1]:
                r = spell_integer(v, base, t.spelling)
                yield n.start, t.extent.end.offset, r, '%s -> %s' % (t.spelling, r)


def bool_swapped(f, n):
    t = f.at(n.start) if n.kind == K.CXX_BOOL_LITERAL_EXPR else None
    if t is not None and t.spelling in ('true', 'false'):
        r = 'false' if t.spelling == 'true' else 'true'
        yield n.start, t.extent.end.offset, r, '%s -> %s' % (t.spelling, r)


def is_body(c, parent):
    # The statements a holder runs, as against its condition and
    # initialisers: the last child of a loop, the second (and third) of
    # an if without an initialiser.
    kids = list(parent.get_children())
    if kind_of(parent) == K.IF_STMT:
        return len(kids) >= 2 and any(k == c for k in kids[1:]) and kids[0] != c
    return kids and kids[-1] == c


def statement_left_out(f, n):
    holder = kind_of(n.parent) if n.parent is not None else None
    if holder not in STATEMENT_HOLDERS or (n.kind not in JUMP_STATEMENTS and n.kind not in EXPRESSION_STATEMENTS):
        return
    is_condition = holder != K.COMPOUND_STMT and not is_body(n.cursor, n.parent)
    semicolon = f.next(n.end, ';')
    if not is_condition and f.at(n.start) is not None and semicolon is not None and \
            all(u.spelling != ';' for u in f.between(n.start, n.end)):
        text = f.source[n.start:semicolon.extent.end.offset].decode('utf-8')
        yield n.start, semicolon.extent.end.offset, '{}', 'left out: %s' % ' '.join(text.split())


def specialized_template(cursor):
    function = ci.conf.lib.clang_getSpecializedCursorTemplate
    function.argtypes, function.restype, function.errcheck = [ci.Cursor], ci.Cursor, ci.Cursor.from_result
    return function(cursor)


def has_member(c, name):
    # A string has push_back but no push_front: swap only where the
    # class has both, so the mutant compiles.
    decl = c.referenced
    owner = decl.semantic_parent if decl is not None else None
    if owner is None:
        return False
    members = list(owner.get_children())
    if not members:  # an implicit instantiation lists its template's
        template = specialized_template(owner)
        members = list(template.get_children()) if template is not None else []
    return any(m.spelling == name for m in members)


def other_end(f, n):
    if n.kind not in (K.MEMBER_REF_EXPR, K.DECL_REF_EXPR, K.OVERLOADED_DECL_REF):
        return
    for t in f.between(n.start, n.end):
        if t.spelling in NAME_SWAPS and t.kind == ci.TokenKind.IDENTIFIER:
            r = NAME_SWAPS[t.spelling]
            if n.kind != K.MEMBER_REF_EXPR or has_member(n.cursor, r):
                yield t.extent.start.offset, t.extent.end.offset, r, '%s -> %s' % (t.spelling, r)


# One rule a line of the module's list, in its order.
RULES = [
    comparison_moved_or_turned,
    operator_swapped,
    not_dropped,
    literal_moved,
    bool_swapped,
    statement_left_out,
    other_end,
]


def visit(f, cursor, parent, found):
    n = Node(cursor, parent)
    for rule in RULES:
        found.update(rule(f, n))
    for child in n.children:
        if f.in_file(child):
            visit(f, child, cursor, found)


def collect(tu, path):
    """The file's bytes, and (start, end, replacement, description) for each
    mutant, in file order."""
    f = FileTokens(tu, path)
    found = set()
    for top in tu.cursor.get_children():
        if f.in_file(top):
            visit(f, top, None, found)
    return f.source, sorted(found)


def make(root, rel, out_dir, build_dir, sample, seed, lines):
    path = os.path.join(root, rel)
    tu = parse(build_dir, path)
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


def line_range(text):
    """A-B, the lines --lines takes (both counted, from 1)."""
    match = re.fullmatch(r'(\d+)-(\d+)', text)
    if not match:
        raise argparse.ArgumentTypeError('not lines A-B: %r' % text)
    return int(match.group(1)), int(match.group(2))


def main(argv):
    parser = argparse.ArgumentParser(prog='mutants.py', description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest='command', required=True)
    to_sync = commands.add_parser('sync', help='refresh a copy of the tree')
    to_sync.add_argument('source_root')
    to_sync.add_argument('copy_root')
    to_make = commands.add_parser('make', help="write a file's mutants")
    to_make.add_argument('root')
    to_make.add_argument('file')
    to_make.add_argument('out_dir')
    to_make.add_argument('--build', required=True, metavar='DIR', help='the build with compile_commands.json')
    to_make.add_argument('--sample', type=int, default=0, metavar='N', help='take N mutants (default: all)')
    to_make.add_argument('--seed', default='1', metavar='S', help='which N (default: 1)')
    to_make.add_argument('--lines', type=line_range, default=(1, sys.maxsize), metavar='A-B',
                         help='only the mutants on these lines (default: all)')
    args = parser.parse_args(argv)
    if args.command == 'sync':
        sync(args.source_root, args.copy_root)
    else:
        make(args.root, args.file, args.out_dir, args.build, args.sample, args.seed, args.lines)


if __name__ == '__main__':
    main(sys.argv[1:])
