#!/usr/bin/env python3
"""Finds in our C and C++ sources what MSVC (/W4 /WX) rejects and MinGW's GCC
lets pass, so that the Linux build fails on it too:
- a call of a C runtime function that MSVC marks deprecated (C4996);
- a cast of a constant beyond 0xFFFF to wchar_t, which has 16 bits on
  Windows (C4309; GCC truncates an explicit cast without a word);
- a declaration named like a global type of <windows.h> (C4459; GCC's
  -Wshadow misses it inside a namespace). Every file is checked, not only
  those that include <windows.h>: a portable header ends up after it in the
  Windows sources that include both.

It prints one line per finding, path:line: what, and exits 1 when there is
any. Files named *_posix.* are left out: MSVC never compiles them.

Usage: check_msvc_sources.py [ROOT]
"""

import os
import re
import sys

FOLDERS = ("codec", "messaging", "input", "host", "sim", "tests")
EXTENSIONS = (".c", ".cc", ".cpp", ".h", ".hpp")

# The C runtime functions MSVC declares deprecated (C4996), by why.
DEPRECATED_CRT = {
    # Unsafe: they write or read without a bound, keep hidden state or hand
    # out shared buffers; each has a *_s form, or a portable replacement
    # (snprintf, std::from_chars, std::getline, std::filesystem).
    "unsafe": (
        "sscanf", "scanf", "fscanf", "swscanf", "wscanf", "fwscanf",
        "vsscanf", "vscanf", "vfscanf", "_snscanf", "_snwscanf",
        "fopen", "_wfopen", "freopen", "_wfreopen", "tmpfile",
        "tmpnam", "_wtmpnam", "_tempnam", "_wtempnam", "_mktemp", "_wmktemp",
        "getenv", "_wgetenv",
        "strcpy", "wcscpy", "strncpy", "wcsncpy", "strcat", "wcscat",
        "strncat", "wcsncat", "_mbscpy", "_mbscat",
        "sprintf", "vsprintf", "_swprintf", "_vswprintf", "_snprintf",
        "_snwprintf", "_vsnprintf", "_vsnwprintf",
        "strerror", "_strerror", "_wcserror", "__wcserror",
        "strtok", "_wcstok", "_mbstok",
        "localtime", "gmtime", "ctime", "asctime", "_localtime64",
        "_gmtime64", "_ctime64", "_wctime", "_wasctime", "_ftime",
        "mbstowcs", "wcstombs", "mbsrtowcs", "wcsrtombs", "wctomb",
        "wcrtomb", "_mbstowcs_l", "_wcstombs_l",
        "_itoa", "_ltoa", "_ultoa", "_i64toa", "_ui64toa", "_itow", "_ltow",
        "_ultow", "_ecvt", "_fcvt", "_gcvt",
        "_strlwr", "_strupr", "_wcslwr", "_wcsupr", "_strset", "_strnset",
        "_wcsset", "_wcsnset", "_splitpath", "_wsplitpath", "_makepath",
        "_wmakepath", "_cgets", "_cgetws", "gets", "_getws",
        "_sopen", "_wsopen", "_umask", "_searchenv", "_wsearchenv",
    ),
    # The POSIX names: "The POSIX name for this item is deprecated"; the
    # runtime spells them with a leading underscore.
    "POSIX name": (
        "access", "chmod", "chsize", "close", "creat", "dup", "dup2", "eof",
        "filelength", "isatty", "locking", "lseek", "mktemp", "open", "read",
        "setmode", "sopen", "tell", "umask", "unlink", "write", "fileno",
        "fdopen", "fcloseall", "fgetchar", "fputchar", "flushall", "getw",
        "putw", "rmtmp", "tempnam", "getcwd", "chdir", "mkdir", "rmdir",
        "strdup", "wcsdup", "stricmp", "strnicmp", "strcmpi", "strlwr",
        "strupr", "strrev", "strset", "strnset", "wcsicmp", "wcsnicmp",
        "wcslwr", "wcsupr", "wcsrev", "wcsset", "wcsnset", "itoa", "ltoa",
        "ultoa", "ecvt", "fcvt", "gcvt", "getch", "getche", "kbhit", "putch",
        "ungetch", "cgets", "cprintf", "cputs", "cscanf", "putenv", "swab",
        "memccpy", "memicmp", "getpid", "execl", "execle", "execlp",
        "execlpe", "execv", "execve", "execvp", "execvpe", "spawnl",
        "spawnle", "spawnlp", "spawnlpe", "spawnv", "spawnve", "spawnvp",
        "spawnvpe", "popen", "pclose", "utime", "j0", "j1", "jn", "y0",
        "y1", "yn", "lfind", "lsearch", "inp", "inpw", "outp", "outpw",
    ),
}
DEPRECATED = {name: why for why, names in DEPRECATED_CRT.items()
              for name in names}

CALL = re.compile(r"\b(" + "|".join(DEPRECATED) + r")\s*\(")
# Words after which a name is used, not declared.
KEYWORDS = {"return", "throw", "else", "do", "case", "co_return", "co_yield",
            "co_await", "sizeof", "not", "and", "or", "new", "delete"}

# swprintf and vswprintf without a count: the old form, which C++ code may
# only reach through MSVC's deprecated overload.
OLD_SWPRINTF = re.compile(r"\b(v?swprintf)\s*\(\s*[^,()]+,\s*L\"")

WIDE_TYPE = r"(?:wchar_t|WCHAR)"
WIDE_CAST = re.compile(
    r"(?:static_cast\s*<\s*(?:const\s+)?" + WIDE_TYPE + r"\s*>\s*\(|"
    r"\(\s*" + WIDE_TYPE + r"\s*\)\s*\(?|\b" + WIDE_TYPE + r"\s*\()"
    r"\s*(0[xX][0-9a-fA-F']+|\d[\d']*)[uUlL]*")

# The global types of <windows.h> that make ordinary variable names: rpcndr.h
# declares byte and boolean.
WINDOWS_GLOBALS = ("byte", "boolean")
DECLARED = re.compile(r"\b(" + "|".join(WINDOWS_GLOBALS) +
                      r")\b\s*(?=[:=;,)\[{])(?!::)")


def strip_comments_and_literals(text):
    """`text` with comments and the insides of string and character literals
    blanked out, line breaks kept, so that line numbers still hold."""
    out = []
    i = 0
    n = len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c == 'R' and text.startswith('R"', i) and (
                i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")
                or text[i - 1] in "uU8L"):
            delimiter_end = text.find("(", i + 2)
            closing = ")" + text[i + 2:delimiter_end] + '"'
            end = text.find(closing, delimiter_end)
            end = n if end < 0 else end + len(closing)
            out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:end]))
            i = end
        elif c == '"' or (c == "'" and not digit_separator(text, i)):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def digit_separator(text, at):
    """Whether the quote at `at` separates digits (1'000, 0xFF'FF) rather
    than opening a character literal (L'a', u8'a')."""
    word = re.search(r"\w+$", text[:at])
    return word is not None and word.group() not in ("L", "u", "U", "u8")


def c_integer(literal):
    """The value of a C integer literal without suffix."""
    digits = literal.replace("'", "")
    if digits[:2].lower() == "0x":
        return int(digits, 16)
    return int(digits, 8 if digits.startswith("0") else 10)


def declares(before):
    """Whether a name that follows the code `before` is being declared: it
    follows a type, which ends in a word, "*", "&" or ">"."""
    if before.endswith("->"):
        return False
    if before.endswith(("*", "&", ">")):
        return True
    word = re.search(r"\w+$", before)
    return word is not None and word.group() not in KEYWORDS


def problems_in(text, path="<text>"):
    """The findings in the source `text`, as lines path:line: what."""
    code = strip_comments_and_literals(text)
    found = []

    def report(at, what):
        found.append((code.count("\n", 0, at) + 1, what))

    for match in CALL.finditer(code):
        name = match.group(1)
        before = code[:match.start()].rstrip()
        if before.endswith("::"):
            qualifier = re.search(r"(\w*)\s*::$", before).group(1)
            if qualifier not in ("", "std"):
                continue
        elif before.endswith((".", "->")) or declares(before):
            continue
        report(match.start(), "%s is deprecated by MSVC (%s)" %
               (name, DEPRECATED[name]))

    for match in OLD_SWPRINTF.finditer(code):
        report(match.start(), "%s without a count is deprecated by MSVC" %
               match.group(1))

    for match in WIDE_CAST.finditer(code):
        value = c_integer(match.group(1))
        if value > 0xFFFF:
            report(match.start(), "0x%X does not fit a 16-bit wchar_t" % value)

    for match in DECLARED.finditer(code):
        if declares(code[:match.start()].rstrip()):
            report(match.start(), "%s hides the global %s of <windows.h>" %
                   (match.group(1), match.group(1)))

    return ["%s:%d: %s" % (path, line, what) for line, what in sorted(found)]


def sources(root):
    for folder in FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if (name.endswith(EXTENSIONS) and
                        "_posix." not in name):
                    yield os.path.join(directory, name)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    problems = []
    count = 0
    for path in sorted(sources(root)):
        count += 1
        with open(path, encoding="utf-8") as f:
            problems += problems_in(f.read(), os.path.relpath(path, root))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("msvc-sources: %d files clean" % count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
