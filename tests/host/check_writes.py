#!/usr/bin/env python3
"""Every file dcshost writes goes through one owner: a command lists what it
will write in an OutputPlan, checked before it runs, and writes it with
OutputFile or into a ReportFolder. This check reads host/ and fails on any
other call that writes, replaces or removes a file or folder, outside the
files below, each allowed for its reason. Prints each such call as
file:line and exits 1 if there is one."""
import pathlib
import re
import sys

WRITES = re.compile(r"\b(ofstream|fopen|_wfopen|freopen|CreateFileW?|MoveFileExW?|DeleteFileW?|rename|remove|"
                    r"remove_all|unlink|copy|copy_file|create_directory|create_directories|create_symlink|"
                    r"resize_file|permissions)\s*\(|\bstd::ofstream\b|O_CREAT")
ALLOWED = {
    "system/output_file.cpp": "the one way to write a file: whole, through a temporary file renamed into place",
    "system/output_plan.cpp": "the check of a folder's permission: a fresh file made and removed",
    "system/report_folder.cpp": "report folders: the mark, what it lists removed, a shard's case copied in",
    "system/temp_folder.cpp": "private temporary folders, made afresh and removed with their owner",
    "system/zip_archive.cpp": "an FMU unpacked into a private temporary folder",
    "dcshost/test_command.cpp": "--plots: its folder made, and the plots of passing cases removed, each planned; "
                                "the cases' temporary folder made inside the test's private one",
}
COMMENT = re.compile(r"//.*$")


def main(root):
    host = pathlib.Path(root) / "host"
    problems = []
    files = sorted(p for p in host.rglob("*") if p.suffix in (".h", ".cpp"))
    for path in files:
        name = path.relative_to(host).as_posix()
        if name in ALLOWED:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            code = COMMENT.sub("", line)
            if WRITES.search(code) and not re.search(r"std::(find|remove_if|copy)\b|\.erase\(", code):
                problems.append(f"host/{name}:{number}: writes a file other than through OutputFile or a "
                                f"ReportFolder: {line.strip()}")
    for problem in problems:
        print(problem)
    print(f"{len(files)} files checked, {len(problems)} writes outside the owner")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2]))
