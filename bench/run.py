#!/usr/bin/env python3
"""Times velk against cp -a and rsync -a --delete on generated trees.

Every scenario runs each tool in turn, several rounds, with the order of the
tools rotated from round to round, and reports medians. Each run is started
with posix_spawn and reaped with wait4, which gives its wall time and its own
peak resident memory. Page caches are not dropped: the runs are warm, which
is what a nightly backup of a tree that fits in memory sees.

Only the Python standard library is needed; rsync and cp must be on PATH.
"""

import argparse
import os
import platform
import shutil
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_VELK = os.path.join(os.path.dirname(HERE), "build", "velk")
TIME = "/usr/bin/time"  # GNU time, the Debian package "time"

# Spread over ten years, so that the last-write times fall into many
# daylight-saving periods, as they do in a real tree.
OLDEST = 1420070400  # 2015-01-01 UTC
SPAN = 10 * 365 * 86400


class Result:
    def __init__(self, seconds, max_rss_kib, code, note):
        self.seconds = seconds
        self.max_rss_kib = max_rss_kib
        self.code = code
        self.note = note  # empty when the run did what it should


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", type=int, default=100_000, help="files in the main tree")
    parser.add_argument("--folders", type=int, default=1_000, help="folders in the main tree")
    parser.add_argument("--depth", type=int, default=1,
                        help="folder levels (folders are spread over this many levels)")
    parser.add_argument("--file-size", type=int, default=1024,
                        help="largest file size in bytes (sizes vary from 1 to this)")
    parser.add_argument("--memory-files", type=int, default=10_000,
                        help="a second, smaller tree on which peak memory is also measured "
                             "(0 to skip); its folders scale with its files")
    parser.add_argument("--runs", type=int, default=5, help="rounds per scenario")
    parser.add_argument("--first-runs", type=int, default=3,
                        help="rounds for the first backup, the slowest scenario")
    parser.add_argument("--dir", default=tempfile.gettempdir(),
                        help="where the trees are made (removed at the end)")
    parser.add_argument("--velk", default=DEFAULT_VELK, help="the velk binary")
    parser.add_argument("--scenarios", default="first,unchanged,changed,deleted",
                        help="comma-separated subset of first,unchanged,changed,deleted")
    parser.add_argument("--keep", action="store_true", help="leave the trees in place")
    return parser.parse_args()


# ----------------------------------------------------------------------------
# Running one command


def run(argv, env=None, out_path=os.devnull):
    """Runs argv to its end; returns (seconds, peak RSS in KiB, exit code, stderr).

    The peak memory comes from /usr/bin/time, which forks a fresh process for
    the command: a child spawned straight from this interpreter would report
    the interpreter's own memory as its peak."""
    err_path = out_path + ".err" if out_path != os.devnull else None
    rss_path = os.path.join(os.path.dirname(out_path) if err_path else tempfile.gettempdir(),
                            "velk-bench-rss.txt")
    actions = [
        (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
    ]
    if err_path:
        actions.append((os.POSIX_SPAWN_OPEN, 2, err_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC,
                        0o644))
    else:
        actions.append((os.POSIX_SPAWN_DUP2, 1, 2))
    program = shutil.which(argv[0]) or argv[0]
    wrapped = [TIME, "-q", "-f", "%M", "-o", rss_path, program, *argv[1:]]
    start = time.perf_counter()
    pid = os.posix_spawn(TIME, wrapped, env if env is not None else os.environ,
                         file_actions=actions)
    _, status, _ = os.wait4(pid, 0)
    seconds = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    with open(rss_path) as handle:
        rss = int(handle.read().split()[-1])
    os.unlink(rss_path)
    stderr = ""
    if err_path:
        with open(err_path, errors="replace") as handle:
            stderr = handle.read(2000)
    return seconds, rss, code, stderr


def velk_env():
    # Without COMSPEC velk runs its copy and removal commands itself.
    env = dict(os.environ)
    env.pop("COMSPEC", None)
    return env


# ----------------------------------------------------------------------------
# Trees


def folder_names(count, depth):
    """Relative folder paths: `count` leaf folders spread over `depth` levels."""
    names = []
    fan = max(2, round(count ** (1.0 / depth))) if depth > 1 else count
    for index in range(count):
        parts = []
        rest = index
        for _ in range(depth - 1):
            parts.append("g%03d" % (rest % fan))
            rest //= fan
        parts.append("d%05d" % index)
        names.append(os.path.join(*parts))
    return names


def file_paths(files, folders, depth):
    dirs = folder_names(folders, depth)
    return [os.path.join(dirs[index % folders], "f%06d.dat" % index) for index in range(files)]


def content_of(index, largest, salt=0):
    length = 1 + (index * 7919 + salt * 104729) % largest
    seed = ("%d:%d|" % (index, salt)).encode()
    return (seed * (length // len(seed) + 1))[:length]


def mtime_of(index):
    # Whole seconds plus a fraction, as real files have.
    return OLDEST + (index * 2654435761) % SPAN + 0.25


def build_tree(root, paths, largest):
    for index, relative in enumerate(paths):
        path = os.path.join(root, relative)
        try:
            handle = open(path, "wb")
        except FileNotFoundError:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            handle = open(path, "wb")
        with handle:
            handle.write(content_of(index, largest))
        stamp = mtime_of(index)
        os.utime(path, (stamp, stamp))


def remove_tree(path):
    if os.path.lexists(path):
        run(["rm", "-rf", path])


def copy_tree(source, target):
    """A copy with identical lengths and modification times, as velk's own copies have."""
    remove_tree(target)
    seconds, _, code, _ = run(["cp", "-a", source, target])
    if code != 0:
        sys.exit("bench: cp -a %s %s failed" % (source, target))
    return seconds


def tree_state(root):
    """Relative path -> (size, mtime in ns) of every file below root."""
    state = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            state[os.path.relpath(path, root)] = (info.st_size, info.st_mtime_ns)
    return state


def same_files(source, target):
    """Whether target holds exactly source's files with their lengths and times."""
    return tree_state(source) == tree_state(target)


# ----------------------------------------------------------------------------
# Scenarios


class Bench:
    def __init__(self, args, work, files, folders):
        self.args = args
        self.work = work
        self.files = files
        self.folders = folders
        self.src = os.path.join(work, "src")
        self.dst = os.path.join(work, "dst")
        self.out = os.path.join(work, "out.txt")
        self.paths = file_paths(files, folders, args.depth)
        self.env = velk_env()

    def velk(self, *operands):
        return [self.args.velk, *operands]

    def timed(self, argv, env=None, check=None):
        seconds, rss, code, stderr = run(argv, env, self.out)
        note = ""
        if code != 0:
            first_line = stderr.strip().splitlines()[:1]
            note = "exit %d%s" % (code, (": " + first_line[0]) if first_line else "")
        elif check is not None and not check():
            note = "wrong result"
        return Result(seconds, rss, code, note)

    def rounds(self, count, tools, prepare, verify):
        """Runs every tool once per round, the order rotated each round.

        prepare(tool) sets the trees up untimed; verify(tool), when given, is
        checked after the first run of each tool."""
        results = {name: [] for name, _ in tools}
        for round_index in range(count):
            shift = round_index % len(tools)
            for name, argv in tools[shift:] + tools[:shift]:
                env = self.env if name == "velk" else None
                prepare(name)
                check = (lambda n=name: verify(n)) if verify and round_index == 0 else None
                results[name].append(self.timed(argv, env, check))
        return results

    # First backup: the target does not exist yet.
    def first(self):
        tools = [
            ("velk", self.velk(self.src, self.dst)),
            ("cp -a", ["cp", "-a", self.src, self.dst]),
            ("rsync -a --delete", ["rsync", "-a", "--delete", self.src + "/", self.dst + "/"]),
        ]
        return self.rounds(self.args.first_runs, tools, lambda _: remove_tree(self.dst),
                           lambda _: same_files(self.src, self.dst))

    # Next backup, nothing changed: the target is an exact copy.
    def unchanged(self):
        copy_tree(self.src, self.dst)
        tools = self.next_backup_tools() + [
            ("floor: du -s both", ["du", "-s", self.src, self.dst]),
        ]
        # velk must find nothing to do: not one line printed.
        return self.rounds(self.args.runs, tools, lambda _: None,
                           lambda tool: tool != "velk" or os.path.getsize(self.out) == 0)

    # Next backup with 1% of the files rewritten (new length and time) since.
    def changed(self):
        copy_tree(self.src, self.dst)
        step = 100
        chosen = range(0, self.files, step)
        salt = [0]

        def prepare(_):
            salt[0] += 1
            for index in chosen:
                path = os.path.join(self.src, self.paths[index])
                with open(path, "wb") as handle:
                    handle.write(content_of(index, self.args.file_size, salt[0]))
                stamp = mtime_of(index) + 1000 * salt[0]
                os.utime(path, (stamp, stamp))

        tools = self.next_backup_tools()
        try:
            return self.rounds(self.args.runs, tools, prepare,
                               lambda _: same_files(self.src, self.dst))
        finally:
            for index in chosen:  # leave the source as the other scenarios expect it
                path = os.path.join(self.src, self.paths[index])
                with open(path, "wb") as handle:
                    handle.write(content_of(index, self.args.file_size))
                os.utime(path, (mtime_of(index), mtime_of(index)))

    # A next backup by velk and by rsync, into the target as it stands.
    def next_backup_tools(self):
        return [
            ("velk", self.velk(self.src, self.dst, "restore")),
            ("rsync -a --delete", ["rsync", "-a", "--delete", self.src + "/", self.dst + "/"]),
        ]

    # Next backup after every tenth file of the source was deleted.
    def deleted(self):
        copy_tree(self.src, self.dst)
        gone = [index for index in range(0, self.files, 10)]
        stash = os.path.join(self.work, "stash")
        os.makedirs(stash, exist_ok=True)
        for index in gone:
            os.rename(os.path.join(self.src, self.paths[index]),
                      os.path.join(stash, "%d" % index))

        def prepare(_):
            # Put the deleted files back into the target only.
            for index in gone:
                target = os.path.join(self.dst, self.paths[index])
                if not os.path.exists(target):
                    shutil.copy2(os.path.join(stash, "%d" % index), target)

        tools = self.next_backup_tools()
        try:
            return self.rounds(self.args.runs, tools, prepare,
                               lambda _: same_files(self.src, self.dst))
        finally:
            for index in gone:
                os.rename(os.path.join(stash, "%d" % index),
                          os.path.join(self.src, self.paths[index]))


SCENARIOS = {
    "first": "first backup, empty target",
    "unchanged": "next backup, nothing changed",
    "changed": "next backup, 1% of files changed",
    "deleted": "next backup, 10% of files deleted",
}


# ----------------------------------------------------------------------------
# Report


def median_of(results, field):
    return statistics.median(getattr(r, field) for r in results)


def describe_failures(results):
    notes = sorted({r.note for r in results if r.note})
    return "FAILED (%s)" % "; ".join(notes) if notes else ""


def time_table(measured):
    lines = ["| scenario | tool | median s | min s | max s | velk / tool |",
             "|---|---|---:|---:|---:|---:|"]
    for scenario, results in measured.items():
        velk_failed = describe_failures(results["velk"])
        velk_median = median_of(results["velk"], "seconds")
        for tool, runs in results.items():
            failed = describe_failures(runs)
            seconds = [r.seconds for r in runs]
            if tool == "velk":
                ratio = ""
            elif velk_failed:
                ratio = "pending"
            else:
                ratio = "%.2f" % (velk_median / statistics.median(seconds))
            median_text = "%.3f" % statistics.median(seconds)
            if failed:
                median_text = failed + " " + median_text
            lines.append("| %s | %s | %s | %.3f | %.3f | %s |" % (
                SCENARIOS[scenario], tool, median_text, min(seconds), max(seconds), ratio))
    return "\n".join(lines)


def memory_table(by_size):
    sizes = sorted(by_size)
    header = "| scenario | tool | " + " | ".join("peak KiB at %d files" % s for s in sizes) + " |"
    lines = [header, "|---|---|" + "---:|" * len(sizes)]
    first = by_size[sizes[-1]]
    for scenario, results in first.items():
        for tool in results:
            cells = []
            for size in sizes:
                runs = by_size[size].get(scenario, {}).get(tool)
                if not runs:
                    cells.append("-")
                    continue
                text = "%d" % median_of(runs, "max_rss_kib")
                if describe_failures(runs):
                    text += " (failed run)"
                cells.append(text)
            lines.append("| %s | %s | %s |" % (SCENARIOS[scenario], tool, " | ".join(cells)))
    return "\n".join(lines)


def machine_text(work):
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as handle:
            for line in handle:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    filesystem = "unknown"
    try:
        best = ""
        with open("/proc/mounts") as handle:
            for line in handle:
                device, mount, kind = line.split()[:3]
                if work.startswith(mount) and len(mount) >= len(best):
                    best, filesystem = mount, "%s on %s (%s)" % (kind, device, mount)
    except OSError:
        pass
    return "%s, %d cores (%s), %s; trees in %s" % (
        platform.platform(), os.cpu_count() or 0, model, filesystem, work)


def measure(args, work, files, folders, scenarios, runs):
    # Each tree size has a folder of its own, so that --keep can leave both.
    work = os.path.join(work, "%d-files" % files)
    os.makedirs(work)
    bench = Bench(args, work, files, folders)
    bench.args = argparse.Namespace(**{**vars(args), "runs": runs,
                                       "first_runs": min(args.first_runs, runs)})
    started = time.perf_counter()
    build_tree(bench.src, bench.paths, args.file_size)
    print("  built %d files in %d folders in %.1f s" % (files, folders,
                                                       time.perf_counter() - started),
          file=sys.stderr)
    measured = {}
    for name in scenarios:
        started = time.perf_counter()
        measured[name] = getattr(bench, name)()
        print("  %s: %.1f s" % (SCENARIOS[name], time.perf_counter() - started), file=sys.stderr)
    if not args.keep:
        remove_tree(work)
    return measured


def main():
    args = parse_arguments()
    if not os.access(args.velk, os.X_OK):
        sys.exit("bench: no velk binary at %s (build it first, or pass --velk)" % args.velk)
    if not os.access(TIME, os.X_OK):
        sys.exit("bench: %s is missing (apt-get install time)" % TIME)
    for tool in ("cp", "rsync", "du", "rm"):
        if shutil.which(tool) is None:
            sys.exit("bench: %s is not on PATH" % tool)
    scenarios = [name for name in args.scenarios.split(",") if name]
    for name in scenarios:
        if name not in SCENARIOS:
            sys.exit("bench: unknown scenario %s" % name)

    os.makedirs(args.dir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="velk-bench-", dir=args.dir)
    by_size = {}
    try:
        print("main tree: %d files" % args.files, file=sys.stderr)
        by_size[args.files] = measure(args, work, args.files, args.folders, scenarios, args.runs)
        if 0 < args.memory_files != args.files:
            folders = max(1, args.folders * args.memory_files // args.files)
            print("memory tree: %d files" % args.memory_files, file=sys.stderr)
            by_size[args.memory_files] = measure(args, work, args.memory_files, folders,
                                                 scenarios, min(args.runs, 3))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    print("velk benchmark: %d files in %d folders (depth %d, files of 1..%d bytes), "
          "%d rounds (first backup %d), medians" % (
              args.files, args.folders, args.depth, args.file_size, args.runs,
              min(args.first_runs, args.runs)))
    print("machine: %s" % machine_text(work))
    print("Warm runs: page caches are not dropped, as on a nightly run over a tree that "
          "fits in memory.")
    print("FAILED marks a run that exited non-zero or left the wrong result; "
          "its ratio reads 'pending'.")
    print()
    print(time_table(by_size[args.files]))
    print()
    print(memory_table(by_size))
    return 0


if __name__ == "__main__":
    sys.exit(main())
