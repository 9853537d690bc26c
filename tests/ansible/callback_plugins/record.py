# A stdout callback for the tests: prints one JSON document at the end of the run with every
# task's result per host and the run's stats, in the shape
#   {"plays": [{"tasks": [{"task": {"name": ...}, "hosts": {host: result}}]}], "stats": {...}}
# (ansible-core 2.14 ships no JSON callback of its own).

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = '''
    name: record
    type: stdout
    short_description: one JSON document of every result, for tests
    description: Prints every task's result per host and the stats as one JSON document.
'''


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'stdout'
    CALLBACK_NAME = 'record'

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.plays = []

    def v2_playbook_on_play_start(self, play):
        self.plays.append({'play': {'name': play.get_name()}, 'tasks': []})

    def v2_playbook_on_task_start(self, task, is_conditional):
        self.plays[-1]['tasks'].append({'task': {'name': task.get_name()}, 'hosts': {}})

    def _record(self, result, **extra):
        entry = dict(result._result)
        entry.update(extra)
        self.plays[-1]['tasks'][-1]['hosts'][result._host.get_name()] = entry

    def v2_runner_on_ok(self, result):
        self._record(result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._record(result, failed=True)

    def v2_runner_on_unreachable(self, result):
        self._record(result, unreachable=True)

    def v2_runner_on_skipped(self, result):
        self._record(result, skipped=True)

    def v2_playbook_on_stats(self, stats):
        summary = {h: stats.summarize(h) for h in sorted(stats.processed)}
        self._display.display(json.dumps({'plays': self.plays, 'stats': summary}, default=str))
