#!/usr/bin/env python3
"""Fails unless the help page quotes the program as the user sees it:
- every quoted menu or button text (one ending in an accelerator such as "(T)")
  is one of the program's texts with its "&" removed, as Windows shows it;
- every quoted balloon (「…」 right after "バルーン") is, around its
  placeholders （…）, made of texts the program really passes to a balloon;
- every text the program passes to a balloon is quoted as one.
Usage: check_help_texts.py HELP_PAGE SOURCE_ROOT
"""
import html
import os
import re
import sys

TEXT_TABLE = "base/texts_ja.h"
SOURCE_DIRS = ("app", "ui", "link", "bluetooth")
PLACEHOLDER = re.compile(r"（[^）]*）")
LITERAL = re.compile(r'L"((?:[^"\\]|\\.)*)"')


def read(root, relative):
    with open(os.path.join(root, relative), encoding="utf-8") as source:
        return source.read()


def named_texts(root):
    """k-name -> text, for the single-literal constants of the text table."""
    found = {}
    for name, text in re.findall(r'constexpr std::wstring_view (k\w+)\s*=\s*L"([^"]*)";', read(root, TEXT_TABLE)):
        found[name] = text
    return found


def balloon_texts(root, names):
    """The named texts passed to a balloon: in the call's own statement, or in
    the statement that put together the variable it passes."""
    call = re.compile(r"(?:\b|Add|Show|Warning)Balloon\(([^;]*)")
    used = set()
    for folder in SOURCE_DIRS:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for file in files:
                if not file.endswith((".cpp", ".h")):
                    continue
                lines = read(base, file).splitlines()
                for at, line in enumerate(lines):
                    found = call.search(" ".join(lines[at:at + 3]))
                    if not found or "void " in line or not call.search(line):
                        continue
                    argument = found.group(1)
                    used.update(n for n in re.findall(r"\b(k\w+)", argument) if n in names)
                    variable = re.match(r"\s*(\w+)\s*[,)]", argument)
                    if variable:
                        for earlier in reversed(lines[max(0, at - 5):at]):
                            if re.search(r"\b%s\s*=" % variable.group(1), earlier):
                                used.update(n for n in re.findall(r"\b(k\w+)", earlier) if n in names)
                                break
    return {names[n] for n in used}


def shown_menu_texts(root):
    return {text.replace("&", "") for text in LITERAL.findall(read(root, TEXT_TABLE))}


def problems(page_path, root):
    with open(page_path, encoding="utf-8") as page_file:
        page = html.unescape(re.sub(r"<[^>]+>", "", page_file.read()))
    names = named_texts(root)
    balloons = balloon_texts(root, names)
    menus = shown_menu_texts(root)
    if not balloons or not menus:
        yield "no balloon or menu texts found in the sources"
    quoted_balloons = set()
    for match in re.finditer(r"(バルーン)?「([^」]*)」", page):
        is_balloon, quote = match.group(1), match.group(2)
        if "&" in quote:
            yield f"「{quote}」: Windows shows no '&' in a menu or button"
        elif re.search(r"\([A-Z]\)$", quote) and quote not in menus:
            yield f"「{quote}」: not a menu or button text of the program"
        if not is_balloon:
            continue
        for part in PLACEHOLDER.split(quote):
            if part and part not in balloons:
                yield f"バルーン「{quote}」: 「{part}」 is no balloon the program shows"
            quoted_balloons.add(part)
    for text in sorted(balloons - quoted_balloons):
        yield f"the balloon 「{text}」 is not on the page"


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    found = list(problems(sys.argv[1], sys.argv[2]))
    for line in found:
        print(line, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
