#!/usr/bin/env python3
"""Writes the starting inputs a NAME.seeds file lists into a folder, one file each.

Lines of a seeds file:
  > TEXT     one input: TEXT (the rest of the line)
  < PATH     one input: the whole file PATH (relative to the repository)
  @ PATH     one input for each line of PATH that starts with "> " (a statement corpus)
  # ...      a comment; blank lines are skipped
Usage: expand_seeds.py SEEDS_FILE REPOSITORY OUTPUT_FOLDER
"""
import hashlib
import os
import sys


def inputs(seeds_file, repository):
    with open(seeds_file, encoding="utf-8") as seeds:
        for number, line in enumerate(seeds, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            kind, rest = line[:2], line[2:]
            if kind == "> ":
                yield rest.encode("utf-8")
            elif kind == "< ":
                with open(os.path.join(repository, rest), "rb") as whole:
                    yield whole.read()
            elif kind == "@ ":
                with open(os.path.join(repository, rest), encoding="utf-8") as corpus:
                    for entry in corpus:
                        if entry.startswith("> "):
                            yield entry[2:].rstrip("\n").encode("utf-8")
            else:
                sys.exit(f"{seeds_file}:{number}: a line starts with '> ', '< ', '@ ' or '#'")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    seeds_file, repository, output = sys.argv[1:]
    os.makedirs(output, exist_ok=True)
    count = 0
    for data in inputs(seeds_file, repository):
        name = hashlib.sha1(data).hexdigest()
        with open(os.path.join(output, name), "wb") as out:
            out.write(data)
        count += 1
    print(f"{count} seed inputs from {seeds_file}")


if __name__ == "__main__":
    main()
