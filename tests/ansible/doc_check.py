#!/usr/bin/env python3
"""Each module's documentation as ansible-doc renders it: every option (and suboption) and every
return value has a description and shows in the text ansible-doc prints, and the examples are
YAML tasks that use the module.

usage: doc_check.py COLLECTIONS_PATH MODULE...
"""

import json
import os
import subprocess
import sys

import yaml


def ansible_doc(collections, *args):
    env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=collections)
    return subprocess.run(["ansible-doc"] + list(args), env=env, capture_output=True, text=True,
                          check=True).stdout


def walk(entries, path=""):
    """(dotted name, entry) of every option or return value, nested ones included."""
    for name, entry in (entries or {}).items():
        yield path + name, entry
        for nested in ("suboptions", "contains"):
            if isinstance(entry.get(nested), dict):
                yield from walk(entry[nested], path + name + ".")


def uses(tasks, module):
    for task in tasks:
        if not isinstance(task, dict):
            continue
        if module in task or uses(task.get("tasks") or [], module):
            return True
    return False


def check(collections, module):
    problems = []
    doc = json.loads(ansible_doc(collections, "--json", module))[module]
    text = ansible_doc(collections, module)
    options = list(walk(doc["doc"].get("options")))
    returns = list(walk(doc.get("return")))
    if not options:
        problems.append("no options")
    if not returns:
        problems.append("no return values")
    for kind, entries in (("option", options), ("return value", returns)):
        for name, entry in entries:
            if not entry.get("description"):
                problems.append("%s %s has no description" % (kind, name))
            if name.rsplit(".", 1)[-1] not in text:
                problems.append("%s %s is not in ansible-doc's text" % (kind, name))
    for name, entry in returns:
        if "sample" not in entry and entry.get("type") not in ("complex", "dict"):
            problems.append("return value %s has no sample" % name)
    examples = yaml.safe_load(doc.get("examples") or "")
    if not examples or not uses(examples, module):
        problems.append("no example uses %s" % module)
    if "EXAMPLES:" not in text:
        problems.append("ansible-doc prints no examples")
    return problems


def main():
    collections, modules = sys.argv[1], sys.argv[2:]
    failed = False
    for module in modules:
        for problem in check(collections, module):
            print("%s: %s" % (module, problem))
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
