#!/usr/bin/env python3
"""Deterministic test trees for the benchmark.

  gen_tree.py make  DIR [--files N] [--seed S]
      Creates DIR with N files (default 100,000) spread over a folder hierarchy 3 to 6 levels
      deep, 10 to 50 entries per folder. Most files are small (0-16 KiB), a few hundred are
      medium (16-128 KiB) and a few dozen large (1-4 MiB). About 3% of the names are Japanese or
      accented, about 2% are hidden dot files, and a few folders are hidden too. Modification
      times lie in 2023-2024. The same seed and N always give the same tree, byte for byte.

  gen_tree.py churn DIR [--fraction F] [--seed S]
      Changes, deletes and adds F (default 0.01) of DIR's files each: changed files get new
      content and a modification time in 2026; new files go into existing folders. The same
      seed on the same tree always does the same thing.
"""

import argparse
import math
import os
import random
import sys

KIB = 1024
MIB = 1024 * KIB

WORDS = [
    "report", "invoice", "photo", "notes", "draft", "budget", "summary", "config", "backup",
    "data", "image", "letter", "minutes", "plan", "schedule", "log", "readme", "index", "main",
    "util", "test", "sample", "archive", "scan", "contract", "memo", "figure", "table", "list",
]
FOLDER_WORDS = [
    "projects", "documents", "src", "lib", "assets", "photos", "2023", "2024", "clients",
    "archive", "tmp", "build", "include", "docs", "music", "mail", "reports", "scans", "old",
    "shared", "private", "drafts", "vendor", "tests", "images", "misc", "finance", "team",
]
FOREIGN_WORDS = [
    "報告書", "写真", "議事録", "データ", "設定", "見積書", "請求書", "資料", "日本語のファイル",
    "café", "résumé", "Größe", "naïve", "Ångström", "señor", "façade", "über", "crème brûlée",
]
EXTENSIONS = [".txt", ".c", ".h", ".cpp", ".jpg", ".png", ".pdf", ".docx", ".json", ".log",
              ".md", ".csv", ".xml", ".html", ".py", ""]
HIDDEN_FILES = [".gitignore", ".profile", ".env", ".editorconfig", ".directory", ".keep"]
HIDDEN_FOLDERS = [".config", ".cache", ".git", ".local"]

# 2023-01-01 and 2024-12-31 00:00 UTC, and 2026-01-01 for churned files.
OLD_TIME_START = 1672531200
OLD_TIME_END = 1735603200
CHURN_TIME = 1767225600

CONTENT_POOL_SIZE = 8 * MIB


class Generator:
    def __init__(self, seed, files_wanted):
        self.rng = random.Random(seed)
        self.files_wanted = files_wanted
        self.files_made = 0
        self.folders_made = 0
        self.bytes_made = 0
        self.max_depth = 0
        self.pool = self.rng.randbytes(CONTENT_POOL_SIZE)

    # Sizes: log-uniform inside each class, so small sizes are common within a class too.
    def file_size(self):
        r = self.rng.random()
        if r < 0.02:
            return 0
        if r < 0.9945:
            return int(self.log_uniform(1, 16 * KIB))
        if r < 0.9997:
            return int(self.log_uniform(16 * KIB, 128 * KIB))
        return int(self.log_uniform(1 * MIB, 4 * MIB))

    def log_uniform(self, low, high):
        return math.exp(self.rng.uniform(math.log(low), math.log(high)))

    def content(self, size):
        # A slice of the pool at a random offset (wrapping), so files differ from one another.
        start = self.rng.randrange(CONTENT_POOL_SIZE)
        end = start + size
        if end <= CONTENT_POOL_SIZE:
            return self.pool[start:end]
        data = self.pool[start:] + self.pool[:end - CONTENT_POOL_SIZE]
        while len(data) < size:
            data += self.pool[:size - len(data)]
        return data

    def mtime(self):
        return self.rng.randrange(OLD_TIME_START, OLD_TIME_END)

    def file_name(self, index):
        r = self.rng.random()
        if r < 0.02:
            return f"{self.rng.choice(HIDDEN_FILES)}{index}"
        ext = self.rng.choice(EXTENSIONS)
        if r < 0.05:
            return f"{self.rng.choice(FOREIGN_WORDS)}_{index:03d}{ext}"
        return f"{self.rng.choice(WORDS)}_{index:04d}{ext}"

    def folder_name(self, index):
        r = self.rng.random()
        if r < 0.02:
            return f"{self.rng.choice(HIDDEN_FOLDERS)}{index}"
        if r < 0.06:
            return f"{self.rng.choice(FOREIGN_WORDS)} {index}"
        return f"{self.rng.choice(FOLDER_WORDS)}_{index:02d}"

    # How many subfolders a folder has, by its depth below the top: wide near the top, then
    # thinning out so that branches end anywhere between 3 and 6 levels down.
    def subfolder_count(self, depth):
        ranges = {1: (4, 8), 2: (2, 6), 3: (1, 4), 4: (0, 3), 5: (0, 2)}
        low, high = ranges.get(depth, (0, 0))
        return self.rng.randint(low, high)

    def write_file(self, path):
        size = self.file_size()
        with open(path, "wb") as f:
            f.write(self.content(size))
        t = self.mtime()
        os.utime(path, ns=(t * 1_000_000_000, t * 1_000_000_000 + self.rng.randrange(10**9)))
        self.files_made += 1
        self.bytes_made += size

    def make_folder(self, path, depth):
        os.mkdir(path)
        self.folders_made += 1
        self.max_depth = max(self.max_depth, depth)
        entries = self.rng.randint(10, 50)
        subfolders = min(self.subfolder_count(depth), entries)
        for i in range(entries - subfolders):
            if self.files_made >= self.files_wanted:
                break
            self.write_file(os.path.join(path, self.file_name(i)))
        for i in range(subfolders):
            if self.files_made >= self.files_wanted:
                break
            self.make_folder(os.path.join(path, self.folder_name(i)), depth + 1)
        t = self.mtime()
        os.utime(path, (t, t))

    def make_tree(self, root):
        os.makedirs(root)
        for i in range(self.rng.randint(3, 8)):
            self.write_file(os.path.join(root, self.file_name(i)))
        top = 0
        while self.files_made < self.files_wanted:
            self.make_folder(os.path.join(root, f"{self.rng.choice(FOLDER_WORDS)}_top{top:03d}"), 1)
            top += 1


def list_tree(root):
    """Every regular file and folder below root, sorted, so the churn does not depend on the
    order in which the file system lists a folder."""
    files, folders = [], []
    for parent, dirnames, filenames in os.walk(root):
        dirnames.sort()
        folders.append(parent)
        files.extend(os.path.join(parent, n) for n in sorted(filenames))
    return files, folders


def churn(root, fraction, seed):
    rng = random.Random(seed)
    files, folders = list_tree(root)
    count = max(1, int(len(files) * fraction))
    chosen = rng.sample(files, 2 * count)
    gen = Generator(seed, 0)
    gen.rng = rng
    for i, path in enumerate(chosen[:count]):
        with open(path, "wb") as f:
            f.write(gen.content(gen.file_size()))
        os.utime(path, (CHURN_TIME + i, CHURN_TIME + i))
    for path in chosen[count:]:
        os.unlink(path)
    for i in range(count):
        path = os.path.join(rng.choice(folders), f"added_{i:05d}{rng.choice(EXTENSIONS)}")
        with open(path, "wb") as f:
            f.write(gen.content(gen.file_size()))
        os.utime(path, (CHURN_TIME + i, CHURN_TIME + i))
    print(f"churn: {count} changed, {count} deleted, {count} added in {root}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    make = sub.add_parser("make", help="generate a tree")
    make.add_argument("dir")
    make.add_argument("--files", type=int, default=100_000)
    make.add_argument("--seed", type=int, default=1)
    ch = sub.add_parser("churn", help="change, delete and add a fraction of the files")
    ch.add_argument("dir")
    ch.add_argument("--fraction", type=float, default=0.01)
    ch.add_argument("--seed", type=int, default=2)
    args = parser.parse_args()

    if args.command == "make":
        if os.path.lexists(args.dir):
            sys.exit(f"gen_tree: {args.dir} already exists")
        gen = Generator(args.seed, args.files)
        gen.make_tree(args.dir)
        print(f"tree: {gen.files_made} files, {gen.folders_made} folders, "
              f"{gen.bytes_made / MIB:.1f} MiB, depth up to {gen.max_depth} in {args.dir}")
    else:
        churn(args.dir, args.fraction, args.seed)


if __name__ == "__main__":
    main()
